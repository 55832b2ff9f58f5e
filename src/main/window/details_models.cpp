#include "main/window/details_models.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <array>

#include "main/report/details_cells.h"
#include "main/report/leaves_output.h"
#include "probe/details/recorded_leaves.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

// Terminal text, as the report hands it over (UTF-8).
QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The caption of column `section` among `captions`; nothing for a row (a view sizing its rows asks
// with row numbers) or another role.
template <typename Captions>
QVariant Header(const Captions& captions, int section, Qt::Orientation orientation, int role) {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || static_cast<size_t>(section) >= std::size(captions))
        return {};
    const std::string_view text(captions[static_cast<size_t>(section)]);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Numbers stand right-aligned, as in the text's tables.
QVariant Alignment(bool number) {
    return QVariant::fromValue(
        Qt::Alignment(number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter));
}

// The names the details list run register by register: where each register's names begin, and one
// past the end.
constexpr std::array<int, kListedFeatureRegisters + 1> GroupStarts() {
    std::array<int, kListedFeatureRegisters + 1> starts{};
    int i = 0;
    for (size_t g = 0; g < kListedFeatureRegisters; ++g) {
        starts[g] = i;
        while (i < static_cast<int>(kListedFeatures) && kFeatureNames[static_cast<size_t>(i)].group == g) ++i;
    }
    starts[kListedFeatureRegisters] = i;
    return starts;
}
constexpr auto kGroupStarts = GroupStarts();
static_assert(kGroupStarts.back() == static_cast<int>(kListedFeatures), "names run by register");

// Nothing is set inside a model; one group row is the parent of its names.
constexpr quintptr kGroupRow = 0;

}  // namespace

ProcessorSet::ProcessorSet(std::vector<ProcessorCapture> captured, const Platform* live)
    : captures(std::move(captured)) {
    int n = 0;
    for (const ProcessorCapture& c : captures) record.push_back(c.status == PinStatus::Stayed ? n++ : -1);
    details = GetRecordedDetails(Dumps(), Numbers(), live);
    sharing = CacheSharing(details);
    facts = SetFacts(details, sharing);
}

ProcessorSet ProcessorSet::FromDump(std::vector<DumpProcessor> sections) {
    std::vector<ProcessorCapture> captured(sections.size());
    for (size_t k = 0; k < sections.size(); ++k) {
        captured[k].processor = ProcessorNumber(static_cast<unsigned>(k));
        captured[k].dump = std::move(sections[k]);
    }
    return ProcessorSet(std::move(captured), nullptr);
}

int ProcessorSet::EntryOf(ProcessorNumber processor) const {
    for (size_t i = 0; i < captures.size(); ++i)
        if (captures[i].processor == processor) return static_cast<int>(i);
    return -1;
}

const ProcessorDetails* ProcessorSet::DetailsOf(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(captures.size())) return nullptr;
    const int r = record[static_cast<size_t>(entry)];
    return r < 0 ? nullptr : &details[static_cast<size_t>(r)];
}

std::string ProcessorSet::Status(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(captures.size())) return {};
    const ProcessorCapture& c = captures[static_cast<size_t>(entry)];
    return PinStatusText(c.status, c.processor, "capture");
}

std::vector<DumpProcessor> ProcessorSet::Dumps() const {
    std::vector<DumpProcessor> dumps;
    for (const ProcessorCapture& c : captures)
        if (c.status == PinStatus::Stayed) dumps.push_back(c.dump);
    return dumps;
}

std::vector<unsigned> ProcessorSet::Numbers() const {
    std::vector<unsigned> numbers;
    for (const ProcessorCapture& c : captures)
        if (c.status == PinStatus::Stayed) numbers.push_back(c.processor.os());
    return numbers;
}

void CacheModel::SetProcessor(const ProcessorSet& set, int entry) {
    beginResetModel();
    cells_.clear();
    sources_.clear();
    if (const ProcessorDetails* d = set.DetailsOf(entry)) {
        const auto r = static_cast<size_t>(set.record[static_cast<size_t>(entry)]);
        for (size_t i = 0; i < d->caches.size(); ++i) {
            cells_.push_back(CacheCells(set.details, set.sharing, r, i));
            sources_.push_back(CacheSourceText(d->caches[i]));
        }
    }
    endResetModel();
}

int CacheModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(cells_.size());
}

int CacheModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kCacheColumns.size());
}

QVariant CacheModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::TextAlignmentRole) return Alignment(index.column() >= 2);
    if (role == Qt::ToolTipRole) return Text(sources_[static_cast<size_t>(index.row())]);
    if (role != Qt::DisplayRole) return {};
    return Text(cells_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())]);
}

QVariant CacheModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // clang-format off
    static constexpr std::array<const char*, kCacheColumns.size()> kAbout{
        "cache level",
        "data, instruction, unified, or a trace cache of micro-operations",
        "size of one such cache",
        "ways of associativity; full: fully associative",
        "line size in bytes",
        "[1-2]: the processors that share it; [up to N]: CPUID's count, where not every processor was "
        "examined; [N each]: each processor shares its own with N",
    };
    // clang-format on
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) return kAbout[static_cast<size_t>(section)];
    return Header(kCacheColumns, section, orientation, role);
}

void ProcessorTableModel::SetProcessors(const ProcessorSet* set) {
    beginResetModel();
    header_.clear();
    rows_.clear();
    if (set != nullptr) {
        const PerProcessorRows table = PerProcessorTable(set->details, set->sharing);
        header_.push_back("");
        header_.insert(header_.end(), table.header.begin(), table.header.end());
        for (size_t i = 0; i < set->captures.size(); ++i) {
            const int r = set->record[i];
            if (r < 0) {
                const int entry = static_cast<int>(i);
                rows_.push_back(
                    {{Decimal(set->captures[i].processor.counted()), set->Status(entry)}, true, false, {}});
            } else {
                const auto k = static_cast<size_t>(r);
                rows_.push_back(
                    {table.rows[k], false, DiffersInKind(set->details.front(), set->details[k]), {}});
            }
        }
        header_.push_back(kClockHeader);
    }
    endResetModel();
}

void ProcessorTableModel::SetClock(int row, const std::string& text) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<size_t>(row)].clock = text;
    emit dataChanged(index(row, ClockColumn()), index(row, ClockColumn()), {Qt::DisplayRole});
}

void ProcessorTableModel::SetClocks(const std::string& text) {
    if (rows_.empty()) return;
    for (Row& row : rows_) row.clock = text;
    emit dataChanged(index(0, ClockColumn()), index(rowCount() - 1, ClockColumn()), {Qt::DisplayRole});
}

bool ProcessorTableModel::IsStatusRow(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)].status;
}

int ProcessorTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ProcessorTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(header_.size());
}

QVariant ProcessorTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == kMarkColumn) return row.differs ? QString::fromUtf8("≠") : QString();
        if (column == ClockColumn()) return Text(row.clock);
        if (static_cast<size_t>(column - 1) < row.cells.size())
            return Text(row.cells[static_cast<size_t>(column - 1)]);
        return QString();
    case Qt::ToolTipRole:
        if (column == kMarkColumn && row.differs) return "another kind of core than the first processor";
        return {};
    case Qt::FontRole:
        if (row.differs) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        return Alignment(!row.status && (column == kNumberColumn || column == kFirstValueColumn));
    default: return {};
    }
}

QVariant ProcessorTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section < 0 || section >= static_cast<int>(header_.size())) return {};
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) {
        if (section == ClockColumn()) return kClockAbout;
        if (section == kMarkColumn) return "\u2260: another kind of core than the first processor";
        const std::string& name = header_[static_cast<size_t>(section)];
        if (name == "CPU") return "the processor's number, as the Processor selector counts them";
        if (const char* about = FieldAbout(name)) return about;
        return "size of the cache, and in brackets the processors that share it";
    }
    return Header(header_, section, orientation, role);
}

void SecurityModel::SetProcessor(const ProcessorDetails* details) {
    beginResetModel();
    lines_.clear();
    if (details != nullptr) lines_ = SecurityLines(*details);
    endResetModel();
}

int SecurityModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int SecurityModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant SecurityModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const SecurityLine& line = lines_[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: return Text(index.column() == 0 ? line.key : line.value);
    case Qt::ToolTipRole: return Text(line.about);
    default: return {};
    }
}

QVariant SecurityModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<const char*, 2> kHeaders{"Vulnerability", "Status"};
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole)
        return "as the running kernel reports it (/sys/devices/system/cpu/vulnerabilities/)";
    return Header(kHeaders, section, orientation, role);
}

void FeatureModel::SetProcessor(const ProcessorDetails* details) {
    beginResetModel();
    registers_.reset();
    if (details != nullptr) registers_ = details->feature_registers;
    endResetModel();
}

QModelIndex FeatureModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    // A name's index carries its register's row + 1; a register's carries kGroupRow.
    if (!parent.isValid()) return createIndex(row, column, kGroupRow);
    return createIndex(row, column, static_cast<quintptr>(parent.row() + 1));
}

QModelIndex FeatureModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kGroupRow) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kGroupRow);
}

int FeatureModel::rowCount(const QModelIndex& parent) const {
    if (!registers_) return 0;
    if (!parent.isValid()) return static_cast<int>(kListedFeatureRegisters);
    if (parent.internalId() != kGroupRow || parent.column() != 0) return 0;
    const auto g = static_cast<size_t>(parent.row());
    return kGroupStarts[g + 1] - kGroupStarts[g];
}

int FeatureModel::columnCount(const QModelIndex&) const { return kColumns; }

QVariant FeatureModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !registers_) return {};
    if (index.internalId() == kGroupRow) {
        const auto g = static_cast<size_t>(index.row());
        const FeatureRegister& reg = kFeatureRegisters[g];
        if (role != Qt::DisplayRole) return {};
        switch (index.column()) {
        case kName:
            return QString::fromStdString("leaf " + Hex(reg.leaf, 8) + ", sub-leaf " + Decimal(reg.subleaf)
                                          + ", " + kRegisterNames[static_cast<size_t>(reg.reg)]);
        case kValue: return QString::fromStdString(Hex((*registers_)[g], 8));
        default: return QString();
        }
    }
    const auto g = static_cast<size_t>(index.internalId() - 1);
    const auto i = static_cast<size_t>(kGroupStarts[g] + index.row());
    // The bit itself: a name that two bits carry shows under each register as that register has it.
    const bool set = BitSet((*registers_)[g], kFeatureNames[i].bit);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case kName: return QString::fromUtf8(kFeatureNames[i].name.data(), kFeatureNames[i].name.size());
        case kBit: return QString::number(kFeatureNames[i].bit);
        case kValue: return set ? "yes" : "no";
        default: return {};
        }
    case Qt::ForegroundRole:
        if (set) return {};
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    case Qt::TextAlignmentRole: return Alignment(index.column() == kBit);
    default: return {};
    }
}

QVariant FeatureModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<const char*, kColumns> kHeaders{"Feature", "Bit", "Value"};
    static constexpr std::array<const char*, kColumns> kAbout{
        "the register (leaf, sub-leaf, register), and under it each named bit as Linux names it in "
        "/proc/cpuinfo",
        "the bit's place in its register", "the register in hex, or whether the bit is set"};
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) return kAbout[static_cast<size_t>(section)];
    return Header(kHeaders, section, orientation, role);
}

void LeafModel::SetProcessor(const DumpProcessor* dump) {
    beginResetModel();
    leaves_.clear();
    if (dump != nullptr) leaves_ = SortedLeaves(*dump);
    endResetModel();
}

int LeafModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(leaves_.size());
}

int LeafModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 6; }

QVariant LeafModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const DumpLeaf& l = leaves_[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case 0: return QString::fromStdString(Hex(l.leaf, 8));
    case 1: return QString::fromStdString(Hex(l.subleaf, 2));
    case 2: return QString::fromStdString(Hex(l.regs.EAX, 8));
    case 3: return QString::fromStdString(Hex(l.regs.EBX, 8));
    case 4: return QString::fromStdString(Hex(l.regs.ECX, 8));
    case 5: return QString::fromStdString(Hex(l.regs.EDX, 8));
    default: return {};
    }
}

QVariant LeafModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<const char*, 6> kHeaders{"Leaf", "Sub-leaf", "EAX", "EBX", "ECX", "EDX"};
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole)
        return "every leaf and sub-leaf recorded, as a replay answers it (hex)";
    return Header(kHeaders, section, orientation, role);
}

void LeafFieldModel::SetProcessor(const DumpProcessor* dump) {
    beginResetModel();
    nodes_.clear();
    top_.clear();
    pending_.reset();
    if (dump != nullptr) pending_ = *dump;
    endResetModel();
}

int LeafFieldModel::Add(int parent, Node node) {
    node.parent = parent;
    nodes_.push_back(std::move(node));  // before the siblings are reached: it may move every node
    const int at = static_cast<int>(nodes_.size()) - 1;
    std::vector<int>& siblings = parent < 0 ? top_ : nodes_[static_cast<size_t>(parent)].children;
    nodes_.back().row = static_cast<int>(siblings.size());
    siblings.push_back(at);
    return at;
}

bool LeafFieldModel::Decode() {
    if (!pending_) return false;
    beginResetModel();
    const std::vector<DecodedLeaf> leaves = DecodeRecordedLeaves(*pending_);
    pending_.reset();
    int leaf_node = -1;
    for (const DecodedLeaf& l : leaves) {
        if (leaf_node < 0 || nodes_[static_cast<size_t>(leaf_node)].leaf != l.leaf) {
            Node n;
            n.cells[kField] = "0x" + Hex(l.leaf, 8);
            n.about = "Leaf 0x" + Hex(l.leaf, 8) + ": each sub-leaf recorded, its registers and their fields";
            n.search = n.cells[kField];
            n.leaf = l.leaf;
            leaf_node = Add(-1, std::move(n));
        }
        Node sub;
        sub.cells[kField] = SubleafText(l.subleaf);
        sub.cells[kMeaning] = NotDecodedText(l);
        sub.about = LeafText(l.leaf, l.subleaf) + ": the four registers as recorded, each with its fields";
        sub.search = LeafText(l.leaf, l.subleaf);
        sub.leaf = l.leaf;
        sub.subleaf = l.subleaf;
        sub.subleaf_node = true;
        const int sub_node = Add(leaf_node, std::move(sub));
        for (uint8_t r = 0; r < 4; ++r) {
            Node reg;
            reg.cells[kField] = kRegisterNames[r];
            reg.cells[kValue] = "0x" + Hex(RegisterOf(l.regs, r), 8);
            reg.about = std::string(kRegisterNames[r]) + " of " + LeafText(l.leaf, l.subleaf) + ", in hex";
            reg.search = reg.cells[kField];
            const int reg_node = Add(sub_node, std::move(reg));
            for (const DecodedField& f : l.fields) {
                if (f.reg != r) continue;
                FieldCells c = CellsOf(f);
                Node field;
                field.search = c.name + "\n" + std::string(c.about) + "\n" + c.meaning;
                field.cells = {std::move(c.name), std::move(c.bits), std::move(c.raw), std::move(c.meaning)};
                field.about = std::string(c.about);
                Add(reg_node, std::move(field));
            }
        }
    }
    endResetModel();
    return true;
}

QModelIndex LeafFieldModel::IndexOf(uint32_t leaf, uint32_t subleaf) const {
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].subleaf_node && nodes_[i].leaf == leaf && nodes_[i].subleaf == subleaf)
            return createIndex(nodes_[i].row, 0, static_cast<quintptr>(i));
    return {};
}

QModelIndex LeafFieldModel::index(int row, int column, const QModelIndex& parent) const {
    const std::vector<int>& siblings =
        parent.isValid() ? nodes_[static_cast<size_t>(parent.internalId())].children : top_;
    if (row < 0 || row >= static_cast<int>(siblings.size()) || column < 0 || column >= kColumns) return {};
    return createIndex(row, column, static_cast<quintptr>(siblings[static_cast<size_t>(row)]));
}

QModelIndex LeafFieldModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return {};
    const int up = nodes_[static_cast<size_t>(child.internalId())].parent;
    if (up < 0) return {};
    return createIndex(nodes_[static_cast<size_t>(up)].row, 0, static_cast<quintptr>(up));
}

int LeafFieldModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(top_.size());
    if (parent.column() != 0) return 0;
    return static_cast<int>(nodes_[static_cast<size_t>(parent.internalId())].children.size());
}

int LeafFieldModel::columnCount(const QModelIndex&) const { return kColumns; }

QVariant LeafFieldModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node& n = nodes_[static_cast<size_t>(index.internalId())];
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(n.cells[static_cast<size_t>(index.column())]);
    case Qt::ToolTipRole: return QString::fromStdString(n.about);
    case SearchRole: return QString::fromStdString(n.search);
    default: return {};
    }
}

QVariant LeafFieldModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<const char*, kColumns> kHeaders{"Field", "Bits", "Value", "Meaning"};
    static constexpr std::array<const char*, kColumns> kAbout{
        "each leaf recorded, its sub-leaves, their registers and each register's fields, as the field table "
        "names them",
        "the register and the bits a field occupies", "a register in hex; a field's bits as they stand",
        "what a field's bits mean: the quantity the vendors' documents make of them, with its unit"};
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) return kAbout[static_cast<size_t>(section)];
    return Header(kHeaders, section, orientation, role);
}

}  // namespace talvex
