#pragma once
// What the details window shows, and Qt item models over it for the window's views: the caches of
// one processor, one row per processor of the set, the feature bits by register, the recorded
// leaves. Each model keeps a copy of what it shows, taken when the window sets it, so no view can
// read a record the window has since replaced; every text comes from the report (or is a plain hex
// number), so the views only lay cells out.

#include <QAbstractItemModel>
#include <QAbstractTableModel>

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "main/report/details_cells.h"
#include "probe/details/capture.h"
#include "probe/details/details.h"
#include "probe/dump/dump.h"

namespace talvex {

// The processors the window shows, a live capture or the sections of a dump, each with its record
// when it was captured: the records are those talvex-report --details builds from the same dumps.
struct ProcessorSet {
    std::vector<ProcessorCapture> captures;  // in the order shown; a dump's sections count from 0
    std::vector<ProcessorDetails> details;   // one per captured entry, in the same order
    std::vector<int> record;                 // captures[i]'s index in details; -1 when not captured
    // Who shares each cache of `details`, and what they say together, worked out with the records
    // (a dump's off the GUI thread).
    CacheSharing sharing{std::span<const ProcessorDetails>()};
    SetFacts facts;

    ProcessorSet() = default;
    // `live`: the platform of this machine, whose processors were captured now; null for a dump.
    ProcessorSet(std::vector<ProcessorCapture> captured, const Platform* live);
    static ProcessorSet FromDump(std::vector<DumpProcessor> sections);

    // The entry of processor `processor` (a dump's section); -1 when there is none.
    int EntryOf(ProcessorNumber processor) const;
    const ProcessorDetails* DetailsOf(int entry) const;
    // Why the entry has no record, in talvex-report's words; "" when it has one.
    std::string Status(int entry) const;
    // The captured processors with the operating system's numbers, as the dump writers take them.
    std::vector<DumpProcessor> Dumps() const;
    std::vector<unsigned> Numbers() const;
};

class CacheModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    // The caches of `set`'s entry `entry`; no rows when it has no record.
    void SetProcessor(const ProcessorSet& set, int entry);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // Worked out once per processor shown: finding who shares a cache takes the whole set.
    std::vector<std::array<std::string, kCacheColumns.size()>> cells_;
    std::vector<std::string> sources_;  // each row's tooltip: the leaf the cache was read from
};

// One row per processor of the set: a mark, then the per-processor table's cells, or the reason a
// processor has none, then the clock measured live. The mark column holds "≠" (and the row is bold)
// where the processor is of another kind than the first one recorded, so the cores of a hybrid
// processor stand out.
class ProcessorTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kMarkColumn = 0;
    static constexpr int kNumberColumn = 1;
    static constexpr int kFirstValueColumn = 2;  // where a row without a record says why

    // Each core's own clock, beside the main window's Clock (the time stamp counter's rate).
    static constexpr const char* kClockHeader = "Core clock";
    static constexpr const char* kClockAbout =
        "The clock each core runs at now, measured once a second on a worker pinned to it: the fastest "
        "of a few 1 ms windows of a chain of dependent additions, timed against the system's clock.\n"
        "\"noisy\": the windows disagreed (the core changed its speed, or was interrupted or paused by "
        "a hypervisor), so the figure is less certain.\n"
        "The main window's Clock is the time stamp counter's rate, which stays the same.";

    using QAbstractTableModel::QAbstractTableModel;
    void SetProcessors(const ProcessorSet* set);
    // A row of a processor that has no record: its reason spans the value columns.
    bool IsStatusRow(int row) const;
    // The last column: the clock of row `row`, or of every row.
    int ClockColumn() const { return columnCount() - 1; }
    void SetClock(int row, const std::string& text);
    void SetClocks(const std::string& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        std::vector<std::string> cells;  // without the mark and the clock
        bool status = false;
        bool differs = false;
        std::string clock;
    };
    std::vector<std::string> header_;
    std::vector<Row> rows_;
};

// The Security tab: each vulnerability the running kernel knows with its verdict, then the CPUID
// bits that enumerate mitigations; each row's tooltip says where it comes from.
class SecurityModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetProcessor(const ProcessorDetails* details);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<SecurityLine> lines_;
};

// Every named feature bit under its register (leaf, sub-leaf, register), set or not. A register's
// row holds its value in hex, a feature's row its bit and "yes" or "no".
class FeatureModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { kName, kBit, kValue, kColumns };

    using QAbstractItemModel::QAbstractItemModel;
    void SetProcessor(const ProcessorDetails* details);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // The registers of the processor shown; none without one.
    std::optional<std::array<uint32_t, kFeatureRegisters.size()>> registers_;
};

// The leaves of one processor as a replay answers them: sorted by leaf and sub-leaf, the first
// record of a repeated one. Leaf, sub-leaf and registers in upper-case hex.
class LeafModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetProcessor(const DumpProcessor* dump);
    // The rows shown.
    const std::vector<DumpLeaf>& Leaves() const { return leaves_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<DumpLeaf> leaves_;
};

// The same leaves decoded through the field table, as a tree: leaf, sub-leaf, register (its value),
// field (its bits, the bits' value and what they mean). A processor set here is decoded when the view
// first asks for its rows (the tab is shown), not before. Every row's tooltip says what it is: a field's,
// its description. SearchRole gives what a filter looks in: names, descriptions and meanings.
class LeafFieldModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { kField, kBits, kValue, kMeaning, kColumns };
    static constexpr int SearchRole = Qt::UserRole + 1;

    using QAbstractItemModel::QAbstractItemModel;
    void SetProcessor(const DumpProcessor* dump);
    // Decodes the processor set, if it is not decoded yet; false when there was nothing to decode.
    bool Decode();
    // The row of (leaf, sub-leaf), after Decode(); invalid when there is none.
    QModelIndex IndexOf(uint32_t leaf, uint32_t subleaf) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Node {
        int parent = -1;  // index into nodes_; -1 at the top
        int row = 0;      // among its parent's children
        std::vector<int> children;
        std::array<std::string, kColumns> cells;
        std::string about;   // the tooltip
        std::string search;  // what a filter looks in
        uint32_t leaf = 0, subleaf = 0;
        bool subleaf_node = false;
    };
    int Add(int parent, Node node);

    std::optional<DumpProcessor> pending_;  // set, not decoded yet
    std::vector<Node> nodes_;
    std::vector<int> top_;  // the leaves' nodes
};

}  // namespace talvex
