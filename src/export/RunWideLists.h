#pragma once

#include <functional>
#include <set>
#include <string>

namespace pasavel {

// The four lists with which the subject step merges the subjects of every
// course into one record per subject and keeps their codes apart. They live
// for one export run: filled while subjects are read, emptied once the
// activities are in. Each is kept sorted, so membership (exact and
// case-sensitive) is a logarithmic search.
struct RunWideLists {
    using SortedList = std::set<std::u16string, std::less<>>;

    SortedList subjectCodes;       // every COD given to a subject record
    SortedList subjectNames;       // every subject name seen, upper-cased
    SortedList longCodes;          // every CODLARGO seen
    SortedList longCodesWithNames; // every CODLARGO followed by its subject name

    void clear()
    {
        subjectCodes.clear();
        subjectNames.clear();
        longCodes.clear();
        longCodesWithNames.clear();
    }
};

} // namespace pasavel
