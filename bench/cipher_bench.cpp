// This project's cipher beside OpenSSL's Blowfish, in one binary and one run,
// so that the ratios between them hold whatever the machine.
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cipher/base64.h"
#include "cipher/blowfish_cipher.h"
#include "cipher/ecb.h"
#include "core/parameter_encryption.h"

namespace {

using sipcrypt::BlowfishCipher;

const std::string password = "Tr0ub4dor&3";
const auto* key = reinterpret_cast<const std::uint8_t*>(password.data());

std::vector<std::uint8_t> data_of(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return data;
}

void ours_key_schedule(benchmark::State& state) {
    BlowfishCipher cipher;
    for (auto _ : state) {
        benchmark::DoNotOptimize(cipher.key_schedule(key, password.size()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(ours_key_schedule);

void openssl_key_schedule(benchmark::State& state) {
    BF_KEY schedule;
    for (auto _ : state) {
        BF_set_key(&schedule, static_cast<int>(password.size()), key);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(openssl_key_schedule);

void ours_encrypt_block(benchmark::State& state) {
    BlowfishCipher cipher;
    (void)cipher.key_schedule(key, password.size());
    std::uint32_t left = 1, right = 2;
    for (auto _ : state) {
        cipher.encrypt_block(left, right);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
}
BENCHMARK(ours_encrypt_block);

void openssl_encrypt_block(benchmark::State& state) {
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(password.size()), key);
    BF_LONG block[2] = {1, 2};
    for (auto _ : state) {
        BF_encrypt(block, &schedule);
        benchmark::DoNotOptimize(block);
    }
}
BENCHMARK(openssl_encrypt_block);

// One direction of this project's buffer functions over state.range(0) bytes.
template <class Operation>
void ours_buffer(benchmark::State& state, Operation operation) {
    const auto size = static_cast<std::size_t>(state.range(0));
    BlowfishCipher cipher;
    (void)cipher.key_schedule(key, password.size());
    const auto in = data_of(size);
    std::vector<std::uint8_t> out(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(operation(cipher, in.data(), out.data(), size));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

void ours_encrypt_buffer(benchmark::State& state) {
    ours_buffer(state, [](const BlowfishCipher& c, auto* in, auto* out, std::size_t n) {
        return sipcrypt::ecb_encrypt(c, {in, n}, {out, n});
    });
}
BENCHMARK(ours_encrypt_buffer)->Arg(8)->Arg(32)->Arg(4096)->Arg(65536);

// ECB over a buffer, the way a caller of OpenSSL's block API does it.
void openssl_encrypt_buffer(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(password.size()), key);
    const auto in = data_of(size);
    std::vector<std::uint8_t> out(size);
    for (auto _ : state) {
        for (std::size_t offset = 0; offset < size; offset += 8) {
            BF_ecb_encrypt(in.data() + offset, out.data() + offset, &schedule, BF_ENCRYPT);
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(openssl_encrypt_buffer)->Arg(8)->Arg(32)->Arg(4096)->Arg(65536);

void ours_decrypt_buffer(benchmark::State& state) {
    ours_buffer(state, [](const BlowfishCipher& c, auto* in, auto* out, std::size_t n) {
        return sipcrypt::ecb_decrypt(c, {in, n}, {out, n});
    });
}
BENCHMARK(ours_decrypt_buffer)->Arg(65536);

void ours_encrypt_parameter(benchmark::State& state) {
    const std::string value = "sip:alice@example.com";
    std::string text;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sipcrypt::encrypt_parameter(value, text, password));
    }
}
BENCHMARK(ours_encrypt_parameter);

void ours_encrypt_parameter_keyed_once(benchmark::State& state) {
    const std::string value = "sip:alice@example.com";
    const sipcrypt::ParameterCipher cipher(password);
    std::string text;
    for (auto _ : state) benchmark::DoNotOptimize(cipher.encrypt(value, text));
}
BENCHMARK(ours_encrypt_parameter_keyed_once);

void ours_base64_encode(benchmark::State& state) {
    const auto size = static_cast<std::size_t>(state.range(0));
    const auto in = data_of(size);
    std::vector<char> out(sipcrypt::Base64Encoder::encoded_length(size) + 1);
    for (auto _ : state) {
        sipcrypt::Base64Encoder::encode(in.data(), out.data(), size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(ours_base64_encode)->Arg(24)->Arg(3744);

}  // namespace

BENCHMARK_MAIN();
