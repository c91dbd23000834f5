#pragma once

#include "formats/dbase/Table.h"

#include <optional>
#include <string>

// The timetable solution SOLUC as the import reads it: one record is one hour
// of the week at which a teacher is placed. Velmora writes the table; any
// layout with the fields PROF, DIA, HORA, MARCO, ASIG, TAREA, CODGRUPO, AULA
// and CCONCIERTO serves (DIA and HORA numeric or character).
namespace pasavel {

// Walks only this teacher's entries from now on (PROF equal to the
// abbreviation), positioned on the first one.
void selectTeacherEntries(Table& soluc, const std::u16string& abbreviation);

// An entry is placed when it has a day (DIA not 0).
bool isPlaced(const Table& soluc);

// Whether the entry is a non-regular activity (ASIG begins with "#").
bool isNonRegular(const Table& soluc);

// Moves DIASHORAST to the row of the current entry's day, hour and frame:
// DIHO equal to DIA followed by HORA, MARCO equal to the first character of
// the entry's MARCO. False when there is none.
bool locateSlot(const Table& soluc, Table& diasHoras);

} // namespace pasavel
