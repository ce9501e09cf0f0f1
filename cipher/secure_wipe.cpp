#include "secure_wipe.h"

#include <string.h>

namespace sipcrypt {

void secure_wipe(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0) {
        explicit_bzero(data, size);
    }
}

void wipe_string(std::string& text) noexcept {
    text.resize(text.capacity());  // never allocates: the capacity is already there
    secure_wipe(text.data(), text.size());
    text.clear();
}

}  // namespace sipcrypt
