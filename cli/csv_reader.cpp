#include "csv_reader.h"

#include <csv.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "cipher/secret_memory.h"
#include "input_error.h"
#include "io.h"

namespace sipcrypt::cli {

namespace {

constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";

// libcsv grows its field buffer by a fixed step and copies it each time;
// larger steps and reusing slack keep the growth from costing the square of
// a field's length.
constexpr std::size_t growth_step = 4096;

// libcsv's field buffer comes from the secret memory. Each block keeps its
// size in front of it, where free can find it.
constexpr std::size_t block_header = alignof(std::max_align_t);

std::size_t size_of(void* block) {
    std::size_t size;
    std::memcpy(&size, static_cast<unsigned char*>(block) - block_header, sizeof size);
    return size;
}

void wiping_free(void* block) {
    if (block == nullptr) return;
    release_secret(static_cast<unsigned char*>(block) - block_header, size_of(block) + block_header,
                   block_header);
}

void* wiping_realloc(void* old_block, std::size_t size) {
    const std::size_t old_size = old_block == nullptr ? 0 : size_of(old_block);
    if (size <= old_size) return old_block;
    const std::size_t capacity = size * 2;
    unsigned char* base;
    try {
        base = static_cast<unsigned char*>(allocate_secret(capacity + block_header, block_header));
    } catch (const std::bad_alloc&) {
        return nullptr;  // libcsv reports it
    }
    std::memcpy(base, &capacity, sizeof capacity);
    void* block = base + block_header;
    if (old_block != nullptr) {
        std::memcpy(block, old_block, old_size);
        wiping_free(old_block);
    }
    return block;
}

// Nothing is trimmed: spaces belong to the field.
int no_spaces(unsigned char) {
    return 0;
}

struct Collector {
    std::vector<SecretBytes> cells;
    std::size_t count = 0;
    std::size_t rows = 0;
    bool field_too_long = false;
    CsvRecord record;
    const std::function<void(const CsvRecord&)>* on_record;
};

void on_field(void* data, std::size_t length, void* context) {
    auto& c = *static_cast<Collector*>(context);
    if (length > max_field_length) c.field_too_long = true;
    if (c.field_too_long) return;
    if (c.count == c.cells.size()) c.cells.emplace_back();
    const auto* bytes = static_cast<const char*>(data);
    c.cells[c.count].assign(bytes, bytes + length);
    ++c.count;
}

void on_record_end(int terminator, void* context) {
    auto& c = *static_cast<Collector*>(context);
    if (c.field_too_long) return;
    c.record.fields.clear();
    for (std::size_t i = 0; i < c.count; ++i) {
        c.record.fields.emplace_back(c.cells[i].data(), c.cells[i].size());
    }
    // A CR ends a record only as part of a CRLF: lone ones are refused first.
    c.record.line_end = terminator == '\r'   ? CsvRecord::LineEnd::crlf
                        : terminator == '\n' ? CsvRecord::LineEnd::lf
                                             : CsvRecord::LineEnd::none;
    ++c.rows;
    (*c.on_record)(c.record);
    c.count = 0;
}

// Follows the quoting byte by byte, to find a CR outside quotes that no LF
// follows (libcsv would end a record there) and to count lines.
class LineWatch {
  public:
    // False at a lone CR; `line` is then its line.
    bool scan(std::string_view bytes) {
        for (const char c : bytes) {
            if (pending_cr_ && c != '\n') return false;
            pending_cr_ = false;
            if (c == '"') in_quotes_ = !in_quotes_;
            if (c == '\r' && !in_quotes_) pending_cr_ = true;
            if (c == '\n') ++line;
        }
        return true;
    }
    std::size_t line = 1;

  private:
    bool in_quotes_ = false;
    bool pending_cr_ = false;  // a CR at the very end of the input ends its line
};

}  // namespace

std::error_code read_csv(int fd, const std::function<void(const CsvRecord&)>& on_record,
                         CsvPlace& place) {
    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0) {
        return std::make_error_code(std::errc::not_enough_memory);
    }
    csv_set_space_func(&parser, no_spaces);
    csv_set_realloc_func(&parser, wiping_realloc);
    csv_set_free_func(&parser, wiping_free);
    csv_set_blk_size(&parser, growth_step);

    Collector collector;
    collector.on_record = &on_record;
    LineWatch lines;
    std::error_code error;
    SecretBytes chunk(64 * 1024);
    bool at_start = true;
    const auto stop = [&](std::error_code why) {
        place = {collector.rows + 1, lines.line};
        error = why;
    };
    for (;;) {
        std::size_t got = 0;
        if ((error = read_some(fd, chunk.data(), chunk.size(), got))) break;
        // Enough of the start to see a byte-order mark, however the writer
        // split its writes.
        for (std::size_t more = 1; at_start && got != 0 && got < utf8_bom.size() && more != 0;
             got += more) {
            if ((error = read_some(fd, chunk.data() + got, chunk.size() - got, more))) break;
        }
        if (error) break;
        if (got == 0) {
            if (csv_fini(&parser, on_field, on_record_end, &collector) != 0) {
                stop(InputError::unclosed_quote);
            } else if (collector.field_too_long) {
                stop(InputError::field_too_long);
            }
            break;
        }
        std::string_view bytes(chunk.data(), got);
        if (at_start) {
            if (bytes.substr(0, utf8_bom.size()) == utf8_bom) bytes.remove_prefix(utf8_bom.size());
            at_start = false;
        }
        if (!lines.scan(bytes)) {
            stop(InputError::lone_cr);
            break;
        }
        if (csv_parse(&parser, bytes.data(), bytes.size(), on_field, on_record_end, &collector) !=
            bytes.size()) {
            stop(InputError::broken_quoting);
            break;
        }
        if (collector.field_too_long || csv_get_buffer_size(&parser) > max_field_length) {
            stop(InputError::field_too_long);
            break;
        }
    }
    csv_free(&parser);
    return error;
}

}  // namespace sipcrypt::cli
