#include "secure_wipe.h"

#include <string.h>

namespace sipcrypt {

void secure_wipe(void* data, std::size_t size) noexcept {
    if (data != nullptr && size != 0) {
        explicit_bzero(data, size);
    }
}

}  // namespace sipcrypt
