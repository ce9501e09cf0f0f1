// The C API beside OpenSSL doing the same job (each value zero-filled to
// whole blocks, encrypted in ECB mode with the halves of each block read
// little-endian, and written as Base64), for values of 8 and 32 bytes, one
// call a value and in batches of 1,000.
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

#include "sipcrypt.h"

namespace {

const std::string password = "Tr0ub4dor&3";
constexpr std::size_t batch = 1000;

std::string values_of(std::size_t size) {
    std::string values;
    for (std::size_t i = 0; i < batch * size; ++i) values += static_cast<char>('a' + i * 7 % 26);
    return values;
}

void library_one_at_a_time(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string values = values_of(size);
    sipcrypt_context* context = sipcrypt_create();
    sipcrypt_set_key(context, "UTF-8", password.data(), password.size());
    char text[SIPCRYPT_MAX_TEXT_LENGTH + 1];
    std::size_t length = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            sipcrypt_encrypt(context, values.data() + i * size, size, text, sizeof text, &length);
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * batch));
    sipcrypt_free(context);
}
BENCHMARK(library_one_at_a_time)->Arg(8)->Arg(32);

void library_batch(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string values = values_of(size);
    const std::vector<std::size_t> lengths(batch, size);
    sipcrypt_context* context = sipcrypt_create();
    sipcrypt_set_key(context, "UTF-8", password.data(), password.size());
    std::vector<char> texts(batch * 64);
    std::size_t length = 0;
    for (auto _ : state) {
        sipcrypt_encrypt_batch(context, values.data(), lengths.data(), batch, texts.data(),
                               texts.size(), &length, nullptr);
        benchmark::DoNotOptimize(texts.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * batch));
    sipcrypt_free(context);
}
BENCHMARK(library_batch)->Arg(8)->Arg(32);

void reverse_halves(unsigned char* block) {
    std::swap(block[0], block[3]);
    std::swap(block[1], block[2]);
    std::swap(block[4], block[7]);
    std::swap(block[5], block[6]);
}

void openssl_same_job(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::string values = values_of(size);
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(password.size()),
               reinterpret_cast<const unsigned char*>(password.data()));
    unsigned char blocks[40], text[64];
    for (auto _ : state) {
        for (std::size_t i = 0; i < batch; ++i) {
            const std::size_t padded = (size + 7) / 8 * 8;
            std::memset(blocks, 0, padded);
            std::memcpy(blocks, values.data() + i * size, size);
            for (std::size_t at = 0; at < padded; at += 8) {
                reverse_halves(blocks + at);
                BF_ecb_encrypt(blocks + at, blocks + at, &schedule, BF_ENCRYPT);
                reverse_halves(blocks + at);
            }
            EVP_EncodeBlock(text, blocks, static_cast<int>(padded));
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * batch));
}
BENCHMARK(openssl_same_job)->Arg(8)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
