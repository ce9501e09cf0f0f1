#pragma once

namespace sipcrypt::cli {

// The whole tool, from its arguments as UTF-8 to its exit status. Each
// platform's entry point calls it.
int run_tool(int argc, char** argv);

}  // namespace sipcrypt::cli
