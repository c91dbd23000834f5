#include "formats/dbase/Indexes.h"

#include <algorithm>

namespace pasavel::dbase {

namespace {

// The one form of a key of several values: each value prefixed with its
// length, so that no two lists of values share a key, whatever characters
// they hold ({"A;B", "C"} and {"A", "B;C"} differ).
void appendKeyPart(std::string& key, std::string_view value)
{
    key += std::to_string(value.size());
    key += ':';
    key += value;
}

} // namespace

Indexes::Indexes(const FieldCodec& codec, const std::vector<FieldInfo>& fields)
    : m_codec(codec), m_fields(fields)
{
}

std::string Indexes::recordKey(std::string_view record, const FieldNumbers& fieldNumbers) const
{
    std::string key;
    for (std::size_t number : fieldNumbers) {
        const FieldInfo& info = m_fields[number];
        appendKeyPart(key, m_codec.storedKey(info, fieldBytes(record, info)));
    }
    return key;
}

const std::vector<std::size_t>* Indexes::find(const FieldNumbers& fieldNumbers,
                                              const std::vector<std::string>& keys, std::string_view records,
                                              std::size_t recordLength)
{
    auto found = m_indexes.find(fieldNumbers);
    if (found == m_indexes.end()) {
        Index index;
        const std::size_t count = records.size() / recordLength;
        for (std::size_t record = 0; record < count; ++record)
            index[recordKey(records.substr(record * recordLength, recordLength), fieldNumbers)].push_back(
                record);
        found = m_indexes.emplace(fieldNumbers, std::move(index)).first;
    }
    std::string key;
    for (const std::string& part : keys)
        appendKeyPart(key, part);
    const auto entry = found->second.find(key);
    return entry == found->second.end() ? nullptr : &entry->second;
}

void Indexes::appended(std::size_t record, std::string_view stored)
{
    for (auto& [fieldNumbers, index] : m_indexes)
        index[recordKey(stored, fieldNumbers)].push_back(record);
}

void Indexes::changed(std::size_t record, std::string_view before, std::string_view after)
{
    for (auto& [fieldNumbers, index] : m_indexes) {
        const std::string oldKey = recordKey(before, fieldNumbers);
        const std::string newKey = recordKey(after, fieldNumbers);
        if (oldKey == newKey)
            continue;
        std::vector<std::size_t>& from = index[oldKey];
        from.erase(std::remove(from.begin(), from.end(), record), from.end());
        std::vector<std::size_t>& to = index[newKey];
        to.insert(std::lower_bound(to.begin(), to.end(), record), record);
    }
}

} // namespace pasavel::dbase
