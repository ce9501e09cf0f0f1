// Files of accounts on any input, in pieces of any size: nothing crashes,
// over-reads or leaks, and whatever is accepted is written back whole, in
// its own shape: read again, it has the same rows, the same cells outside the
// four columns, and in those columns texts that decrypt to the cells that
// went in. Commas, semicolons, tabs, sep= and #TYPE lines, UTF-16 with and
// without a byte-order mark and backslash escapes are all found from the
// input.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/accounts.h"
#include "core/csv.h"
#include "fuzz_input.h"
#include "tests/codec_for.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
namespace accounts = sipcrypt::accounts;

// The input handed over a few bytes at a time, as a pipe may.
struct Pieces : accounts::ByteSource {
    std::string_view data;
    std::size_t piece;
    sipcrypt::Outcome read(char* buffer, std::size_t size, std::size_t& got) override {
        got = std::min({size, piece, data.size()});
        std::memcpy(buffer, data.data(), got);
        data.remove_prefix(got);
        return {};
    }
};

struct Memory : accounts::ByteSink {
    std::string bytes;
    void write(std::string_view more) override { bytes.append(more); }
};

accounts::CsvOptions options(bool escapes) {
    accounts::CsvOptions options;
    options.backslash_escapes = escapes;
    options.header_names.assign(accounts::columns.begin(), accounts::columns.end());
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const sipcrypt::ParameterCipher cipher("fuzz");
    static const auto codec = [] {
        auto utf8 = sipcrypt::codec_for("UTF-8");
        (void)utf8->set_password("fuzz");
        return utf8;
    }();
    Pieces input;
    input.data = {reinterpret_cast<const char*>(data + 1), size - 1};
    input.piece = 1 + data[0] % 64;
    const bool escapes = data[0] >= 192;
    accounts::CsvReader reader(input, options(escapes));
    Rows in;
    Memory output;
    accounts::CsvRecord record;
    bool accepted = reader.next(record);
    if (accepted) {
        in.emplace_back(record.fields.begin(), record.fields.end());
        accounts::AccountTable table(reader.shape(), false, false);
        accepted = table.read_header(record).ok();
        if (accepted) table.start(output);
        while (accepted && reader.next(record)) {
            in.emplace_back(record.fields.begin(), record.fields.end());
            table.add(*codec, record, output);
        }
        accepted = accepted && reader.error().ok() && table.ok();
    }
    if (!accepted) return 0;
    Pieces again;
    again.data = output.bytes;
    again.piece = 4096;
    auto same_shape = options(escapes);
    same_shape.separator = reader.shape().separator;
    if (reader.shape().utf16() && !reader.shape().bom) {
        same_shape.utf16 = reader.shape().form == accounts::CsvShape::Form::utf16le
                               ? sipcrypt::ByteOrder::little
                               : sipcrypt::ByteOrder::big;
    }
    accounts::CsvReader back(again, same_shape);
    Rows out;
    while (back.next(record)) out.emplace_back(record.fields.begin(), record.fields.end());
    FUZZ_CHECK(back.error().ok());
    FUZZ_CHECK(back.shape().form == reader.shape().form);
    FUZZ_CHECK(back.shape().preamble == reader.shape().preamble);
    FUZZ_CHECK(out.size() == in.size());
    const auto& header = in.front();
    sipcrypt::SecretBytes plain;
    for (std::size_t row = 0; row < in.size(); ++row) {
        FUZZ_CHECK(out[row].size() == in[row].size());
        for (std::size_t column = 0; column < in[row].size(); ++column) {
            const auto& names = accounts::columns;
            const bool encrypted =
                row > 0 && std::find(names.begin(), names.end(), header[column]) != names.end();
            if (!encrypted || in[row][column].empty()) {
                FUZZ_CHECK(out[row][column] == in[row][column]);
                continue;
            }
            sipcrypt::SecretBytes value;
            FUZZ_CHECK(cipher.decrypt(out[row][column], value) == sipcrypt::Code::done);
            if (escapes) {
                accounts::unescape_backslashes(in[row][column], plain);
                FUZZ_CHECK(value == plain);
            } else {
                FUZZ_CHECK(std::string(value.begin(), value.end()) == in[row][column]);
            }
        }
    }
    return 0;
}
