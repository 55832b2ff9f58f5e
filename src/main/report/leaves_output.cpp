#include "main/report/leaves_output.h"

#include <algorithm>

#include "main/report/json_writer.h"
#include "probe/details/recorded_leaves.h"
#include "probe/text/text.h"

namespace talvex {

namespace {

constexpr const char* kJsonRegisters[4] = {"eax", "ebx", "ecx", "edx"};

uint32_t Register(const TCPUIDRegs& r, unsigned reg) {
    const uint32_t all[4] = {r.EAX, r.EBX, r.ECX, r.EDX};
    return all[reg];
}

void Pad(std::string& out, size_t from, size_t width) {
    const size_t used = out.size() - from;
    out.append(used < width ? width - used : 0, ' ');
}

}  // namespace

std::vector<ProcessorLeaves> DecodeProcessors(std::span<const DumpProcessor> dumps, std::span<const unsigned> numbers) {
    std::vector<ProcessorLeaves> out;
    for (size_t i = 0; i < dumps.size(); ++i) out.push_back({numbers[i], DecodeRecordedLeaves(dumps[i])});
    return out;
}

std::string LeafText(uint32_t leaf, uint32_t subleaf) { return "0x" + Hex(leaf, 8) + "/" + Decimal(subleaf); }

std::string BitsText(const DecodedField& f) {
    std::string s = kRegisterNames[f.reg];
    s += "[" + Decimal(f.high);
    if (f.high != f.low) s += ":" + Decimal(f.low);
    return s + "]";
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

std::string SubleafText(uint32_t subleaf) { return "sub-leaf " + Decimal(subleaf); }

std::string NotDecodedText(const DecodedLeaf& l) {
    return l.decoded ? "" : "beyond the top of its range: not decoded";
}

std::string LeavesText(std::span<const ProcessorLeaves> processors) {
    // One width for each column over the whole output, so that every line of it lines up.
    size_t leaf_width = 0, bits_width = 0, name_width = 0;
    for (const ProcessorLeaves& p : processors)
        for (const DecodedLeaf& l : p.leaves) {
            leaf_width = std::max(leaf_width, LeafText(l.leaf, l.subleaf).size());
            for (const DecodedField& f : l.fields) {
                bits_width = std::max(bits_width, BitsText(f).size());
                name_width = std::max(name_width, FieldName(f).size());
            }
        }
    std::string out;
    for (const ProcessorLeaves& p : processors) {
        if (&p != processors.data()) out += '\n';
        out += "Processor " + Decimal(p.number + 1) + "\n";
        for (const DecodedLeaf& l : p.leaves) {
            const std::string leaf = LeafText(l.leaf, l.subleaf);
            size_t start = out.size();
            out += leaf;
            Pad(out, start, leaf_width + 2);
            for (unsigned r = 0; r < 4; ++r) {
                out += r == 0 ? "" : " ";
                out += kRegisterNames[r];
                out += "=0x" + Hex(Register(l.regs, r), 8);
            }
            if (!l.decoded) out += "  (" + NotDecodedText(l) + ")";
            out += '\n';
            for (const DecodedField& f : l.fields) {
                start = out.size();
                out += leaf;
                Pad(out, start, leaf_width + 2);
                start = out.size();
                out += BitsText(f);
                Pad(out, start, bits_width + 2);
                start = out.size();
                const std::string name = FieldName(f);
                out += name;
                if (f.row == nullptr) {
                    out += '\n';
                    continue;
                }
                Pad(out, start, name_width + 2);
                out += ReadField(f).text;
                out += '\n';
            }
        }
    }
    return out;
}

std::string LeavesJson(std::span<const ProcessorLeaves> processors) {
    std::string out;
    JsonWriter json(out);
    json.BeginObject().BeginArray("processors");
    for (const ProcessorLeaves& p : processors) {
        json.BeginObject().Number("cpu", p.number + 1).BeginArray("leaves");
        for (const DecodedLeaf& l : p.leaves) {
            json.BeginObject()
                .String("leaf", "0x" + Hex(l.leaf, 8))
                .Number("subleaf", l.subleaf)
                .Bool("decoded", l.decoded);
            for (unsigned r = 0; r < 4; ++r) json.String(kJsonRegisters[r], "0x" + Hex(Register(l.regs, r), 8));
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
