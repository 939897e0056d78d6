#include "hex_image.h"

#include "files.h"

#include <QRandomGenerator>

namespace zelvan::test {

namespace {

constexpr int kRecordBytes = 16;

QByteArray hexByte(int value) {
    return QByteArray::number(value, 16).rightJustified(2, '0').toUpper();
}

} // namespace

QByteArray writeRandomHexImage(const QString& path, int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    QByteArray text;
    for (int address = 0; address < size; address += kRecordBytes) {
        QByteArray record = hexByte(kRecordBytes) + hexByte(address >> 8) + hexByte(address & 0xFF) + "00";
        int sum = kRecordBytes + (address >> 8) + (address & 0xFF);
        for (int i = 0; i < kRecordBytes; ++i) {
            const int value = random.bounded(1, 256);
            bytes[address + i] = static_cast<char>(value);
            sum += value;
            record += hexByte(value);
        }
        text += ':' + record + hexByte((256 - sum % 256) % 256) + '\n';
    }
    writeFile(path, text + ":00000001FF\n");
    return bytes;
}

} // namespace zelvan::test
