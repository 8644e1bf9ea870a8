#include "engine/recordset.h"

#include "engine/error.h"
#include "model/recordset_impl.h"

namespace engine {

Recordset::Recordset(std::unique_ptr<detail::RecordsetImpl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

RecordsetType Recordset::Type() const {
    return impl_->Type();
}
bool Recordset::Updatable() const {
    return impl_->Updatable();
}
const std::string& Recordset::TableName() const {
    return impl_->TableName();
}
bool Recordset::Eof() const {
    return impl_->Eof();
}
bool Recordset::Bof() const {
    return impl_->Bof();
}
void Recordset::MoveFirst() {
    impl_->MoveFirst();
}
void Recordset::MoveLast() {
    impl_->MoveLast();
}
void Recordset::MoveNext() {
    impl_->MoveNext();
}
void Recordset::MovePrevious() {
    impl_->MovePrevious();
}
void Recordset::FindFirst(std::string_view c) {
    impl_->Find(c, true, true);
}
void Recordset::FindNext(std::string_view c) {
    impl_->Find(c, false, true);
}
void Recordset::FindPrevious(std::string_view c) {
    impl_->Find(c, false, false);
}
void Recordset::FindLast(std::string_view c) {
    impl_->Find(c, true, false);
}
bool Recordset::NoMatch() const {
    return impl_->NoMatch();
}
const std::string& Recordset::Index() const {
    return impl_->Index();
}
void Recordset::SetIndex(const std::string& name) {
    impl_->SetIndex(name);
}
void Recordset::Seek(std::string_view cmp, const std::vector<Variant>& keys) {
    impl_->Seek(cmp, keys);
}
Bookmark Recordset::GetBookmark() const {
    return impl_->GetBookmark();
}
void Recordset::SetBookmark(Bookmark b) {
    impl_->SetBookmark(b);
}
long Recordset::AbsolutePosition() const {
    return impl_->AbsolutePosition();
}
void Recordset::SetAbsolutePosition(long p) {
    impl_->SetAbsolutePosition(p);
}
long Recordset::RecordCount() const {
    return impl_->RecordCount();
}
void Recordset::AddNew() {
    impl_->AddNew();
}
void Recordset::Edit() {
    impl_->Edit();
}
void Recordset::Update() {
    impl_->Update();
}
void Recordset::CancelUpdate() {
    impl_->CancelUpdate();
}
void Recordset::Delete() {
    impl_->Delete();
}
EditMode Recordset::EditMode() const {
    return impl_->Mode();
}
void Recordset::Requery() {
    impl_->Requery();
}
void Recordset::Close() {
    impl_->Close();
}
bool Recordset::IsOpen() const {
    return impl_->IsOpen();
}
size_t Recordset::FieldCount() const {
    return impl_->FieldCount();
}
const FieldInfo& Recordset::FieldAt(size_t i) const {
    return impl_->FieldAt(i);
}
size_t Recordset::FieldIndex(std::string_view name) const {
    return impl_->FieldIndex(name);
}
const Variant& Recordset::Value(std::string_view name) const {
    return impl_->Value(impl_->FieldIndex(name));
}
const Variant& Recordset::Value(size_t i) const {
    return impl_->Value(i);
}
void Recordset::SetValue(std::string_view name, const Variant& v) {
    impl_->SetValue(impl_->FieldIndex(name), v);
}
void Recordset::SetValue(size_t i, const Variant& v) {
    impl_->SetValue(i, v);
}

} // namespace engine
