#pragma once

#include <QString>
#include <QStringView>

// The ISP command set: the record types the board carries out, the configuration addresses of
// the read and write records, and the bodies of every record the program sends. A body is
// LL (data byte count) AAAA (address) TT (record type) and the data, all as upper-case hex text;
// records.h frames it with ":" and the checksum.
namespace zelvan {

enum class RecordType : quint8 {
    Program = 0x00,       // LL bytes of firmware at AAAA
    LoaderVersion = 0x01, // the board's loader version text
    ConfigWrite = 0x02,   // data: configuration address, value
    ConfigRead = 0x03,    // data: configuration address; the answer carries the value
    Erase = 0x04,         // data: unit (00 page, 01 sector), unit address high byte first
    SectorCrc = 0x05,     // data: the sector's address high byte; the answer carries 8 hex digits
    GlobalCrc = 0x06,     // the answer carries 8 hex digits
    ChipErase = 0x08,
};

// Configuration addresses: the first data byte of the read and write records.
namespace configAddress {
inline constexpr int kUcfg1 = 0x00;
inline constexpr int kUcfg2 = 0x01;
inline constexpr int kBootVector = 0x02;
inline constexpr int kStatusByte = 0x03;
inline constexpr int kManufacturerId = 0x10;  // read
inline constexpr int kDeviceId1 = 0x11;       // read
inline constexpr int kDeviceId2 = 0x12;       // read
inline constexpr int kClearProtection = 0x10; // written with 00

// The security byte of a sector: 08..0F for sectors 0..7, 18..1F for sectors 8..15 (10..12 hold
// the identification bytes, and 10 written with 00 clears the configuration protection).
int securityByte(int sector);
} // namespace configAddress

enum class EraseUnit : quint8 { Page = 0x00, Sector = 0x01 };

// The body of a record of the type with the hex data text (whole bytes) at the address.
QString recordBody(RecordType type, QStringView dataText = {}, int address = 0);

QString loaderVersionBody();                                // "00000001"
QString configReadBody(int address);                        // "01000003" + address
QString configWriteBody(int address, const QString& value); // "02000002" + address + value
QString eraseBody(EraseUnit unit, int address);             // "03000004" + unit + address
QString sectorCrcBody(int sectorAddress);                   // "01000005" + address high byte
QString globalCrcBody();                                    // "00000006"
QString chipEraseBody();                                    // "00000008"
QString programBody(int address, QStringView dataText);     // LL AAAA "00" data

} // namespace zelvan
