// The links of an import between target and source fields, kept in the two sides' work rows
// (ImportStructure.h). A target row's link is the source field's name, type and size in its
// FLD05..FLD07 (blank: no link); a source row's FLD05 is 1 while at least one target row links
// to it, else 0. A target field takes at most one source field; a source field may feed many.
//
// Each change below runs in one transaction of ws, so that a batch of links lands at once.
// Engine errors propagate.
#pragma once

#include <cstdint>

namespace engine {
class Recordset;
class Workspace;
} // namespace engine

namespace tavorin {

class UserPrompts;

// Moves rows to the work row numbered rowNumber (FLD08); false when there is none.
bool FindWorkRow(engine::Recordset& rows, int32_t rowNumber);

// Links the current target row to the current source row, replacing its former link.
void LinkTargetRow(engine::Recordset& target, engine::Recordset& source);
// Removes the current target row's link; the source field it named loses its mark when no
// other target row still links to it.
void UnlinkTargetRow(engine::Recordset& target, engine::Recordset& source);

// The click on a source row: links target row number targetRow (0: none chosen, which is said)
// to source row sourceRow. True when linked; both recordsets are then on the linked rows.
bool LinkRows(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source,
              int32_t targetRow, int32_t sourceRow, UserPrompts& prompts);
// Unlinks target row number targetRow; false when there is no such row.
bool UnlinkRow(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source,
               int32_t targetRow);
// Links every target field to the source field of the same name.
void LinkSameNames(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source);
// Removes the link of each target field linked to a source field of its own name.
void UnlinkSameNames(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source);
// Removes every link and every mark.
void UnlinkAll(engine::Workspace& ws, engine::Recordset& target, engine::Recordset& source);

} // namespace tavorin
