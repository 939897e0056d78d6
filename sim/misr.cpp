#include "misr.h"

namespace zelvan::sim {

quint32 misrSignature(QByteArrayView bytes) {
    constexpr quint32 polynomial = 0x00400007u;
    quint32 signature = 0;
    for (const char byte : bytes) {
        const bool carry = (signature & 0x80000000u) != 0;
        signature <<= 1;
        if (carry)
            signature ^= polynomial;
        signature ^= static_cast<quint8>(byte);
    }
    return signature;
}

} // namespace zelvan::sim
