// DAO codes shared by the object model: field types, attributes, recordset kinds.
#pragma once

namespace engine {

// Field type codes (the field's Type).
namespace dao {
constexpr int dbBoolean = 1;
constexpr int dbByte = 2;
constexpr int dbInteger = 3;
constexpr int dbLong = 4;
constexpr int dbCurrency = 5;
constexpr int dbSingle = 6;
constexpr int dbDouble = 7;
constexpr int dbDate = 8;
constexpr int dbBinary = 9;
constexpr int dbText = 10;
constexpr int dbLongBinary = 11;
constexpr int dbMemo = 12;
constexpr int dbGUID = 15;
constexpr int dbBigInt = 16;
constexpr int dbDecimal = 20;

// Field attributes.
constexpr long dbFixedField = 1;
constexpr long dbVariableField = 2;
constexpr long dbAutoIncrField = 16;
constexpr long dbUpdatableField = 32;
// Index field attribute.
constexpr long dbDescending = 1;

// Recordset kinds (OpenRecordset's type argument).
constexpr int dbOpenTable = 1;
constexpr int dbOpenDynaset = 2;
constexpr int dbOpenSnapshot = 4;
} // namespace dao

enum class RecordsetType {
    Table = dao::dbOpenTable,
    Dynaset = dao::dbOpenDynaset,
    Snapshot = dao::dbOpenSnapshot
};

// Jet's limits, enforced before anything is written.
namespace limits {
constexpr int kMaxFields = 255;
constexpr int kMaxIndexes = 32;
constexpr int kMaxIndexFields = 10;
constexpr int kMaxNameLength = 64;
constexpr int kMaxTextSize = 255;
} // namespace limits

} // namespace engine
