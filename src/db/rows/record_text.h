// Bounded copying of text into the fixed character arrays of table records. Pure functions;
// thread-safe.
#ifndef ZAREZODUD_DB_ROWS_RECORD_TEXT_H
#define ZAREZODUD_DB_ROWS_RECORD_TEXT_H

#include <cstddef>

namespace zarezodud {

// Copies at most size-1 characters of source into dest and terminates it; null source copies
// the empty text. Nothing happens when size is 0.
void copyRecordText(char* dest, std::size_t size, const char* source);

// Copies source (null: none) into dest as a new heap array released with delete[], after
// releasing dest's old array.
void replaceRecordHeapText(char*& dest, const char* source);

}  // namespace zarezodud

#endif  // ZAREZODUD_DB_ROWS_RECORD_TEXT_H
