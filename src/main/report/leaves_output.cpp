#include "main/report/leaves_output.h"

#include <algorithm>

#include "main/report/json_writer.h"
#include "probe/details/recorded_leaves.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr const char* kJsonRegisters[4] = {"eax", "ebx", "ecx", "edx"};

// "0x00000004/1", appended where a line is being written.
void AppendLeafText(std::string& out, uint32_t leaf, uint32_t subleaf) {
    out += "0x";
    AppendHex(out, leaf, 8);
    out += '/';
    out += Decimal(subleaf);
}

// "EBX[31:22]", "EDX[5]".
void AppendBits(std::string& out, const DecodedField& f) {
    out += kRegisterNames[f.reg];
    out += '[';
    out += Decimal(f.high);
    if (f.high != f.low) {
        out += ':';
        out += Decimal(f.low);
    }
    out += ']';
}

}  // namespace

std::string LeafText(uint32_t leaf, uint32_t subleaf) {
    std::string s;
    AppendLeafText(s, leaf, subleaf);
    return s;
}

std::string BitsText(const DecodedField& f) {
    std::string s;
    AppendBits(s, f);
    return s;
}

FieldCells CellsOf(const DecodedField& f) {
    std::string raw;
    if (f.high == f.low) {
        raw = Decimal(f.raw);
    } else {
        raw = "0x";
        AppendHex(raw, f.raw, 1);
    }
    return {FieldName(f), BitsText(f), raw, f.row != nullptr ? ReadField(f).text : "", FieldAbout(f)};
}

std::string LongestFieldName() {
    std::string_view longest = "reserved bit 31 set";
    for (const FieldRow& r : FieldRows())
        if (FieldText(r.name).size() > longest.size()) longest = FieldText(r.name);
    return std::string(longest);
}

std::string SubleafText(uint32_t subleaf) { return "sub-leaf " + Decimal(subleaf); }

std::string NotDecodedText(const DecodedLeaf& l) {
    return l.decoded ? "" : "beyond the top of its range: not decoded";
}

namespace {

// The columns of the text: wide enough for every leaf, every register's bits and every name the table
// has, so that every line lines up whatever the processors say.
constexpr size_t kLeafWidth = 13;  // "0x00000004/12"
constexpr size_t kBitsWidth = 10;  // "EBX[31:22]"

size_t NameWidth() {
    static const size_t width = LongestFieldName().size();
    return width;
}

// Ends the column begun at `from`: padded to `width`, then two blanks.
void Column(std::string& out, size_t from, size_t width) {
    const size_t used = out.size() - from;
    out.append((used < width ? width - used : 0) + 2, ' ');
}

}  // namespace

std::string LeavesText(std::span<const DumpProcessor> dumps, std::span<const unsigned> numbers) {
    std::string out;
    for (size_t p = 0; p < dumps.size(); ++p) {
        const std::vector<DecodedLeaf> leaves = DecodeRecordedLeaves(dumps[p]);
        if (p == 0) {
            // One allocation for the whole output, sized by the first processor: it is some megabytes
            // for a machine of a few dozen processors.
            size_t lines = 0;
            for (const DecodedLeaf& l : leaves) lines += l.fields.size() + 1;
            out.reserve(dumps.size() * (lines * (kLeafWidth + kBitsWidth + NameWidth() + 24) + 16));
        } else {
            out += '\n';
        }
        out += "Processor " + Decimal(numbers[p] + 1) + "\n";
        for (const DecodedLeaf& l : leaves) {
            size_t start = out.size();
            AppendLeafText(out, l.leaf, l.subleaf);
            const std::string leaf = out.substr(start);
            Column(out, start, kLeafWidth);
            for (unsigned r = 0; r < 4; ++r) {
                out += r == 0 ? "" : " ";
                out += kRegisterNames[r];
                out += "=0x";
                AppendHex(out, RegisterOf(l.regs, r), 8);
            }
            if (!l.decoded) out += "  (" + NotDecodedText(l) + ")";
            out += '\n';
            for (const DecodedField& f : l.fields) {
                start = out.size();
                out += leaf;
                Column(out, start, kLeafWidth);
                start = out.size();
                AppendBits(out, f);
                Column(out, start, kBitsWidth);
                if (f.row == nullptr) {
                    out += FieldName(f);
                    out += '\n';
                    continue;
                }
                start = out.size();
                out += FieldText(f.row->name);
                Column(out, start, NameWidth());
                out += ReadField(f).text;
                out += '\n';
            }
        }
    }
    return out;
}

std::string LeavesJson(std::span<const DumpProcessor> dumps, std::span<const unsigned> numbers) {
    std::string out;
    JsonWriter json(out);
    json.BeginObject().BeginArray("processors");
    for (size_t p = 0; p < dumps.size(); ++p) {
        json.BeginObject().Number("cpu", numbers[p] + 1).BeginArray("leaves");
        for (const DecodedLeaf& l : DecodeRecordedLeaves(dumps[p])) {
            json.BeginObject()
                .String("leaf", "0x" + Hex(l.leaf, 8))
                .Number("subleaf", l.subleaf)
                .Bool("decoded", l.decoded);
            for (unsigned r = 0; r < 4; ++r)
                json.String(kJsonRegisters[r], "0x" + Hex(RegisterOf(l.regs, r), 8));
            json.BeginArray("fields");
            for (const DecodedField& f : l.fields) {
                const FieldReading v = ReadField(f);
                json.BeginObject(JsonWriter::Layout::Inline)
                    .String("register", kJsonRegisters[f.reg])
                    .BeginArray("bits", JsonWriter::Layout::Inline)
                    .Number(f.high)
                    .Number(f.low)
                    .EndArray()
                    .String("name", FieldName(f));
                json.Key("value");
                switch (v.type) {
                case FieldReading::Type::Flag: json.Bool(v.number != 0); break;
                case FieldReading::Type::Number: json.Number(v.number); break;
                case FieldReading::Type::Text: json.String(v.text); break;
                case FieldReading::Type::None: json.Null(); break;
                }
                json.String("text", v.text).String("description", FieldAbout(f)).EndObject();
            }
            json.EndArray().EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    out += '\n';
    return out;
}

}  // namespace talvex
