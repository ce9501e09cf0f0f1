#include "tool.h"

int main(int argc, char** argv) {
    return sipcrypt::cli::run_tool(argc, argv);
}
