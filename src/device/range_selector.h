#pragma once

#include <QObject>
#include <QStringListModel>

namespace zelvan {

// A pair of Start/End lists over the flash blocks of one size (sectors or pages). Both lists show
// the same items, so they share one item model; item k stands for the block at k x block size.
// The selection keeps the start of the range from lying after its end: choosing in one list
// moves the other list to the chosen position when needed.
class RangeSelector : public QObject {
    Q_OBJECT

public:
    explicit RangeSelector(QObject* parent = nullptr);

    // Refills both lists with one item per block from address 0 to lastAddress, then selects the
    // first item in Start and the last in End.
    void fill(int lastAddress, int blockSize);

    QStringListModel* items() { return &items_; }
    int count() const { return static_cast<int>(items_.rowCount()); }
    QString itemText(int index) const;

    // Selected positions, -1 when nothing is selected.
    int startIndex() const { return start_; }
    int endIndex() const { return end_; }

    // The user chose an item in the Start list (index -1 for no selection).
    void chooseStart(int index);
    // The user chose an item in the End list.
    void chooseEnd(int index);

    // Block text: first and last address, four hex digits each ("0000H-00FFH").
    static QString blockText(int firstAddress, int blockSize);

signals:
    void itemsReset();
    void selectionChanged(int startIndex, int endIndex);

private:
    void setSelection(int start, int end);

    QStringListModel items_;
    int start_ = -1;
    int end_ = -1;
};

} // namespace zelvan
