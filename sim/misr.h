#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace zelvan::sim {

// The flash signature the simulated target reports for its CRC records: a 32-bit multiple-input
// signature register with the polynomial 0x00400007. Starting from 0, for every byte in address
// order the register shifts left by one, takes the polynomial in when the bit shifted out was 1,
// then takes the byte into its low bits. Erased flash (all 0x00) gives 0.
//
// The LPC9xx documents this signature only loosely; everything that computes it goes through
// here, so that it can be replaced in one place once a real chip says otherwise.
quint32 misrSignature(QByteArrayView bytes);

} // namespace zelvan::sim
