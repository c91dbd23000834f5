#pragma once

#include "formats/dbase/FieldCodec.h"
#include "formats/dbase/Table.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Inside the table store only (callers include Table.h): the in-memory
// indexes through which lookups by value find their records.
namespace pasavel::dbase {

// Field numbers, in the table's order of fields, that a lookup compares.
using FieldNumbers = std::vector<std::size_t>;

// One index for each list of fields looked up, built on first use: the key of
// those fields' values -> the records holding them, in stored order. A lookup
// still finds the first visible record in stored order, exactly as a walk
// from the first record would; which records are visible is the cursor's
// business.
class Indexes {
  public:
    // The codec and fields are the table's own and outlive the indexes.
    Indexes(const FieldCodec& codec, const std::vector<FieldInfo>& fields);

    // The records whose fields hold these keys (one per field, as
    // FieldCodec::searchKey gives them), in stored order; nothing when none
    // does. records holds every stored record, each recordLength long.
    const std::vector<std::size_t>* find(const FieldNumbers& fieldNumbers,
                                         const std::vector<std::string>& keys, std::string_view records,
                                         std::size_t recordLength);

    // Keeps the indexes built so far right after a record was appended or
    // changed.
    void appended(std::size_t record, std::string_view stored);
    void changed(std::size_t record, std::string_view before, std::string_view after);

  private:
    using Index = std::unordered_map<std::string, std::vector<std::size_t>>;

    std::string recordKey(std::string_view record, const FieldNumbers& fieldNumbers) const;

    const FieldCodec& m_codec;
    const std::vector<FieldInfo>& m_fields;
    std::map<FieldNumbers, Index> m_indexes;
};

} // namespace pasavel::dbase
