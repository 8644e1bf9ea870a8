#include "core/FieldLines.h"

#include <algorithm>

#include "core/TextRules.h"
#include "core/TypeVocabulary.h"
#include "engine/error.h"
#include "engine/field.h"
#include "engine/property.h"
#include "engine/text932.h"
#include "engine/types.h"
#include "engine/variant.h"

namespace tavorin {

std::string DescriptionOf(const engine::Properties& properties) {
    try {
        return engine::TextOf(properties.Item("DESCRIPTION")->Value());
    } catch (const engine::Error&) {
        return {};
    }
}

namespace {

// Only a Long field is an auto-number: Jet also marks generated GUIDs with Attributes 17.
std::string TypeNameOf(const engine::Field& field) {
    if (field.Attributes() == 17 && field.Type() == engine::dao::dbLong)
        return std::string(kAutoNumberType);
    if (field.Type() >= 1 && field.Type() < kTypeSlots)
        return TypeNames()[static_cast<size_t>(field.Type())];
    return {};
}

int16_t SizeOf(const engine::Field& field) {
    return static_cast<int16_t>(std::clamp<long>(field.Size(), 0, 32767));
}

// name is base & "_" & two ASCII digits whose value is number.
bool IsGroupMember(const std::string& name, const std::string& base, int number) {
    if (name.size() != base.size() + 3 || name[base.size()] != '_') return false;
    const char tens = name[base.size() + 1], units = name[base.size() + 2];
    if (tens < '0' || tens > '9' || units < '0' || units > '9') return false;
    return (tens - '0') * 10 + (units - '0') == number &&
           SameText(std::string_view(name).substr(0, base.size()), base);
}

bool EndsWithFirstOfGroup(const std::string& name) {
    return name.size() >= 3 && name.compare(name.size() - 3, 3, "_01") == 0;
}

FieldLine LineOf(engine::Field& field, std::string name) {
    return FieldLine{
        std::move(name), TypeNameOf(field), SizeOf(field), {}, DescriptionOf(field.Properties())};
}

} // namespace

std::vector<FieldLine> FoldFieldLines(engine::TableDef& table) {
    std::vector<FieldLine> lines;
    bool groupOpen = false;
    int groupLength = 0;
    std::string groupBase;
    FieldLine group;
    auto closeGroup = [&] {
        group.Repeat = engine::Format(engine::Variant::Long(groupLength), "00");
        lines.push_back(std::move(group));
        groupBase.clear();
        groupOpen = false;
    };
    for (const engine::FieldPtr& field : table.Fields()) {
        const std::string& name = field->Name();
        if (EndsWithFirstOfGroup(name)) {
            if (groupOpen) closeGroup();
            groupBase = name.substr(0, name.size() - 3);
            group = LineOf(*field, groupBase);
            groupLength = 1;
            groupOpen = true;
        } else if (groupOpen && IsGroupMember(name, groupBase, groupLength + 1)) {
            ++groupLength;
        } else {
            if (groupOpen) closeGroup();
            lines.push_back(LineOf(*field, name));
        }
    }
    if (groupOpen) closeGroup();
    return lines;
}

namespace {

// The first n characters of a UTF-8 text.
std::string FirstChars(const std::string& text, int n) {
    size_t pos = 0;
    for (int i = 0; i < n && pos < text.size(); ++i) engine::cp932::NextCodePoint(text, pos);
    return text.substr(0, pos);
}

// text with blanks after it up to n characters (longer text as it is).
std::string PaddedChars(const std::string& text, int n) {
    size_t pos = 0;
    int chars = 0;
    for (; pos < text.size(); ++chars) engine::cp932::NextCodePoint(text, pos);
    return chars >= n ? text : text + std::string(static_cast<size_t>(n - chars), ' ');
}

} // namespace

std::string FieldListLine(const FieldLine& line) {
    const int32_t bytes = ByteLength(line.Name);
    const std::string name = bytes > 20
                                 ? FirstChars(line.Name, 20)
                                 : line.Name + std::string(static_cast<size_t>(20 - bytes), ' ');
    const std::string repeat =
        line.Repeat.empty()
            ? std::string()
            : engine::Format(engine::Variant::Long(engine::CLng(engine::Variant(line.Repeat))),
                             "00");
    return name + "  " + PaddedChars(line.TypeName, 13) + "  " +
           engine::Format(engine::Variant::Long(line.Size), "000") + "    " + repeat;
}

} // namespace tavorin
