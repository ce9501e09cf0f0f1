#include "csv_reader.h"

#include <csv.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cipher/secure_wipe.h"

namespace sipcrypt::cli {

namespace {

void* wiping_realloc(void* old_block, std::size_t size) {
    void* block = std::malloc(size);
    if (block == nullptr || old_block == nullptr) return block;
    const std::size_t old_size = malloc_usable_size(old_block);
    std::memcpy(block, old_block, old_size < size ? old_size : size);
    secure_wipe(old_block, old_size);
    std::free(old_block);
    return block;
}

void wiping_free(void* block) {
    if (block == nullptr) return;
    secure_wipe(block, malloc_usable_size(block));
    std::free(block);
}

// Nothing is trimmed: spaces belong to the field.
int no_spaces(unsigned char) {
    return 0;
}

struct Collector {
    std::vector<SecretBytes> cells;
    std::size_t count = 0;
    std::size_t rows = 0;
    CsvRecord record;
    const std::function<void(const CsvRecord&)>* on_record;
};

void on_field(void* data, std::size_t length, void* context) {
    auto& c = *static_cast<Collector*>(context);
    if (c.count == c.cells.size()) c.cells.emplace_back();
    const auto* bytes = static_cast<const char*>(data);
    c.cells[c.count].assign(bytes, bytes + length);
    ++c.count;
}

void on_record_end(int terminator, void* context) {
    auto& c = *static_cast<Collector*>(context);
    c.record.fields.clear();
    for (std::size_t i = 0; i < c.count; ++i) {
        c.record.fields.emplace_back(c.cells[i].data(), c.cells[i].size());
    }
    c.record.crlf = terminator == '\r';
    ++c.rows;
    (*c.on_record)(c.record);
    c.count = 0;
}

}  // namespace

std::string read_csv(int fd, const std::function<void(const CsvRecord&)>& on_record) {
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) return "cannot start the CSV reader";
    csv_set_space_func(&parser, no_spaces);
    csv_set_realloc_func(&parser, wiping_realloc);
    csv_set_free_func(&parser, wiping_free);

    Collector collector;
    collector.on_record = &on_record;
    std::string error;
    SecretBytes chunk(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            break;
        }
        if (got == 0) {
            if (csv_fini(&parser, on_field, on_record_end, &collector) != 0) {
                error = "row " + std::to_string(collector.rows + 1) +
                        ": a quoted field is not closed before the end of the input";
            }
            break;
        }
        const auto length = static_cast<std::size_t>(got);
        if (csv_parse(&parser, chunk.data(), length, on_field, on_record_end, &collector) !=
            length) {
            error = "row " + std::to_string(collector.rows + 1) + ": broken quoting (" +
                    csv_strerror(csv_error(&parser)) + ")";
            break;
        }
    }
    csv_free(&parser);
    return error;
}

}  // namespace sipcrypt::cli
