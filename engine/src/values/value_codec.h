// How Variants are kept in SQLite columns, by DAO field type:
//   Boolean -1/0 integer; Byte, Integer, Long integer; Currency integer in 1/10,000 units;
//   Single, Double real; Date text "yyyy-mm-dd hh:mm:ss"; Text, Memo, GUID text; binary blob.
#pragma once

#include <string>

#include "engine/recordset.h"
#include "engine/variant.h"
#include "storage/sqlite_handle.h"

namespace engine::detail {

// Converts an assigned value to the field's type as Jet does on assignment: 3421 when it does
// not convert, 3349 when it is out of the field's range, 3163 when text is longer than the
// field's size in code page 932 bytes. Null and Empty become Null.
Variant CoerceForField(const Variant& value, const FieldInfo& field);

// Binds an already coerced value at position i. Text is bound without a copy: the value must
// stay alive and unchanged until the statement is reset.
void BindValue(Stmt& stmt, int i, const Variant& value, int daoType);
// The same, with the text of a date written into dateText (24 bytes), which is bound without a
// copy and must stay unchanged until the statement is reset, as the value itself.
void BindValue(Stmt& stmt, int i, const Variant& value, int daoType, char* dateText);
// Sets an already coerced value as the result of an SQL function, as BindValue would bind it.
void ResultValue(sqlite3_context* ctx, const Variant& value, int daoType);
// Binds a criteria parameter as the SQL translation expects it (dates and currency as doubles).
void BindParam(Stmt& stmt, int i, const Variant& value);

// Reads column col of the current row as a Variant of the field's type.
Variant ReadValue(const Stmt& stmt, int col, int daoType);
// Reads a value handed to an SQL function as ReadValue reads a column of that type.
Variant ReadSqlValue(sqlite3_value* value, int daoType);
// The same into an existing Variant, reusing its text storage (the hot path of record reads).
void ReadValueInto(const Stmt& stmt, int col, int daoType, Variant& out);
// CoerceForField into an existing Variant, reusing its text storage.
void CoerceForFieldInto(const Variant& value, const FieldInfo& field, Variant& out);

// A column's value kept past the statement's next step, to be read by the rules above later,
// off the statement (in another thread): its storage class, its number, and the bytes it reads
// as text, which CaptureRow appends to an arena of the caller's.
struct CapturedValue {
    int storage = SQLITE_NULL;
    int64_t integer = 0;
    double real = 0;
    size_t at = 0, size = 0; // the text's place in the arena
    bool hasText = false;
};
// How the values of a field of this type are captured: a number is kept as its text as well only
// where the reading rules read it by its text.
struct CaptureRule {
    bool integerText = false, realText = false;
};
CaptureRule CaptureRuleFor(int daoType);
// Captures the current row's first count columns, each by its rule, into values[0 .. count);
// texts and blobs go to the end of arena.
void CaptureRow(const Stmt& stmt, const CaptureRule* rules, size_t count, CapturedValue* values,
                std::string& arena);
// Reads a captured value as ReadValueInto would have read it from the statement; arena is the
// one CaptureRow filled.
void ReadValueInto(const CapturedValue& value, std::string_view arena, int daoType, Variant& out);

// Date text of the storage form and back.
std::string DateToStorage(double oleDate);
// Writes the storage form of a date into buf (at least 24 bytes); returns its length.
size_t FormatStorageDate(double oleDate, char* buf);
bool DateFromStorage(std::string_view text, double& oleDate);

// The SQL expression a criterion uses to read a column of this type, through qualifier (an SQL
// name of its table) when one is given.
std::string ColumnExpr(const std::string& name, int daoType, const std::string& qualifier = {});

// Evaluates a Jet DefaultValue expression for a new record ("" gives Null).
Variant EvaluateDefault(const std::string& expression, const FieldInfo& field);

} // namespace engine::detail
