#pragma once

#include "device/device_catalogue.h"
#include "flash/crc_model.h"

#include <QByteArray>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace zelvan::sim {

using std::chrono::microseconds;

// What the board sends back for one unit of input, and how long it works before it starts.
struct Reply {
    QByteArray bytes;
    microseconds busy{0};
};

// A fault the board can be told to show for chosen input. A rule matches a letter ("P"), a
// record type, or records whose body starts with a prefix; occurrence picks only the n-th match.
struct FaultRule {
    enum class Action {
        Refuse, // answer "X" without carrying the command out
        Silent, // answer nothing
        Answer, // carry nothing out; send the echo, then cannedAnswer as it stands
        Late,   // carry the command out as usual, but answer lateBy later than that
        Ignore, // carry nothing out, but answer as if it had been done
    };

    char letter = 0;       // matches this single-letter command when non-zero
    int recordType = -1;   // matches records of this type when >= 0
    QByteArray bodyPrefix; // matches records whose body starts with this text when non-empty
    int occurrence = 0;    // 0: every match; n: only the n-th match (counting from 1)
    Action action = Action::Refuse;
    QByteArray cannedAnswer; // for Action::Answer, e.g. "1234."
    microseconds lateBy{0};  // for Action::Late

    static FaultRule onLetter(char letter, Action action, int occurrence = 0) {
        FaultRule rule = doing(action, occurrence);
        rule.letter = letter;
        return rule;
    }
    static FaultRule onType(int recordType, Action action, int occurrence = 0) {
        FaultRule rule = doing(action, occurrence);
        rule.recordType = recordType;
        return rule;
    }
    static FaultRule onBody(const QByteArray& bodyPrefix, Action action, int occurrence = 0) {
        FaultRule rule = doing(action, occurrence);
        rule.bodyPrefix = bodyPrefix;
        return rule;
    }
    // This rule, answering late by the given time instead.
    FaultRule late(microseconds by) const {
        FaultRule rule = *this;
        rule.action = Action::Late;
        rule.lateBy = by;
        return rule;
    }

private:
    static FaultRule doing(Action action, int occurrence) {
        FaultRule rule;
        rule.action = action;
        rule.occurrence = occurrence;
        return rule;
    }
};

struct BoardFaults {
    bool silent = false;         // answers nothing at all
    bool noSync = false;         // ignores "U"
    bool noVersion = false;      // ignores the loader version record
    int silentAfterUnits = -1;   // answers the first N commands, then nothing
    int hangUpAfterUnits = -1;   // answers the first N commands, then drops the line (the board dies)
    microseconds answerDelay{0}; // every answer comes this late
    QByteArray garbagePrefix;    // sent in front of every answer
    std::vector<FaultRule> rules;
};

// How long the target takes for the slow operations.
struct OperationTimes {
    microseconds pageErase{0};
    microseconds sectorErase{0};
    microseconds chipErase{0};
    microseconds pageProgram{0};
};

// The programmer board and the LPC9xx target behind it, as pure logic: bytes in, replies out.
//
// Input is framed as the program sends it: the letters "U", "P", "S"; text records ":" + body +
// checksum (the byte count tells where a record ends, so a record needs no line end); and quick
// records "Q:" + raw bytes + 0x00. Text records are echoed before their data and the closing "."
// (or the refusal "X"), the way the board answers.
//
// Records are carried out by a table keyed by record type; the target holds a flash array
// (erased state 0x00, a bootloader image at the top), configuration and security bytes.
//
// The target sits in a socket: it can be taken out and a new one put in while the board runs (a
// production station programs one chip after another). With the socket empty the board still
// answers for itself ("U", "P", "S", its loader version); the identification reads see the
// empty socket's lines as FF, and every other record, which needs the target, is refused.
class BoardModel {
public:
    struct Ids {
        quint8 manufacturer = 0x15;
        quint8 deviceId1 = 0xDD;
        quint8 deviceId2 = 0x1F;
    };

    BoardModel(const Ids& ids, const DeviceGeometry& geometry);
    // A board with the given catalogue part behind it.
    static BoardModel forPart(const CatalogueEntry& part);

    // Feeds one received byte; returns the reply when the byte completes a command.
    std::optional<Reply> receive(char byte);

    BoardFaults& faults() { return faults_; }
    OperationTimes& times() { return times_; }
    void setVersionText(const QByteArray& text) { versionText_ = text; }

    // Takes the target out of its socket (flash() still shows what the chip held, for a test to look at).
    void removeChip();
    // Puts a new target in (replacing any in the socket): erased flash with the bootloader image at
    // the top, default configuration and security bytes, like the chip of a newly made board.
    void insertChip();
    bool chipPresent() const { return chipPresent_; }

    const DeviceGeometry& geometry() const { return geometry_; }
    const Ids& ids() const { return ids_; }
    QByteArray& flash() { return flash_; }
    const QByteArray& flash() const { return flash_; }
    // The bytes the top of the flash held when the board was made (the bootloader).
    QByteArray bootloaderImage() const;

    // Configuration byte at a configuration address (00 UCFG1, 01 UCFG2, 02 boot vector, 03
    // status byte, 08..0F / 18..1F security bytes); nullopt for an address the part lacks.
    std::optional<quint8> configByte(int address) const;
    void setConfigByte(int address, quint8 value);
    int configProtectionClears() const { return protectionClears_; }
    // The board has died (hangUpAfterUnits): its line is to be dropped once its last answer is out.
    bool hungUp() const { return faults_.hangUpAfterUnits >= 0 && unitsAnswered_ >= faults_.hangUpAfterUnits; }

    // Signatures as the CRC records report them, computed with the board's CRC variant (the
    // default one unless told otherwise; any formulation, in the table or not, may be set).
    quint32 globalCrc() const;
    quint32 sectorCrc(int firstAddress) const;
    const CrcVariant& crcVariant() const { return crcVariant_; }
    void setCrcVariant(const CrcVariant& variant) { crcVariant_ = variant; }

    // Every command received, in order, as text: "U", "P", ":0100000310EC", "Q:10000000..."
    const QStringList& received() const { return received_; }
    void clearReceived() { received_.clear(); }

private:
    struct Record {
        int count = 0;
        int address = 0;
        int type = 0;
        QByteArray data;
        QByteArray body; // hex text, as received (for matching rules)
    };
    // Result of carrying out a record: the data text to send before "." (nullopt = refused).
    struct Outcome {
        std::optional<QByteArray> data;
        microseconds busy{0};
    };
    using RecordHandler = std::function<Outcome(BoardModel&, const Record&)>;
    static const std::map<int, RecordHandler>& recordTable();

    std::optional<Reply> finishLetter(char letter);
    std::optional<Reply> finishTextRecord();
    std::optional<Reply> finishQuickRecord();
    std::optional<Reply> answer(const Record* record, char letter, const QByteArray& echo);
    // The first rule that applies to the command, or nullptr.
    const FaultRule* ruleFor(const Record* record, char letter);

    Outcome program(const Record& record);
    Outcome readVersion(const Record& record);
    Outcome writeConfig(const Record& record);
    Outcome readMisc(const Record& record);
    Outcome erase(const Record& record);
    Outcome readSectorCrc(const Record& record);
    Outcome readGlobalCrc(const Record& record);
    Outcome eraseChip(const Record& record);
    Outcome emptySocket(const Record& record) const;

    bool isSecurityAddress(int address) const;

    Ids ids_;
    DeviceGeometry geometry_;
    QByteArray flash_;
    std::array<quint8, 256> config_{};
    bool chipPresent_ = true;
    int protectionClears_ = 0;
    CrcVariant crcVariant_ = defaultCrcVariant();
    QByteArray versionText_ = " ZELVAN ICP 2-1";
    BoardFaults faults_;
    OperationTimes times_;
    std::vector<int> ruleMatches_;
    int unitsAnswered_ = 0;
    QStringList received_;

    // Framing of the input in progress.
    enum class Frame { Idle, Text, QuickColon, Quick };
    Frame frame_ = Frame::Idle;
    QByteArray pending_;
    int expected_ = 0;
};

} // namespace zelvan::sim
