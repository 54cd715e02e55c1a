#include "result_table.h"

#include "cp1251.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

namespace vexa {

template <typename T> const T* ResultTable::Cache<T>::find(std::uint64_t key) {
    auto it = where.find(key);
    if (it == where.end())
        return nullptr;
    items.splice(items.end(), items, it->second);
    return &it->second->second;
}

template <typename T> const T& ResultTable::Cache<T>::put(std::uint64_t key, T value) {
    while (!items.empty() && items.size() >= std::max<std::size_t>(limit, 1)) {
        where.erase(items.front().first);
        items.pop_front();
    }
    items.emplace_back(key, std::move(value));
    auto last = std::prev(items.end());
    where[key] = last;
    return last->second;
}

ResultTable::ResultTable(std::string name, std::vector<FieldDef> fields, std::vector<IndexDef> indexes,
                         std::string activeIndex)
    : name_(std::move(name)), fields_(std::move(fields)), indexes_(std::move(indexes)),
      textProducers_(fields_.size()), pictureProducers_(fields_.size()) {
    textCache_.limit = 2048;
    pictureCache_.limit = 128;
    if (!activeIndex.empty())
        SetIndex(activeIndex);
}

int ResultTable::fieldIndex(const std::string& field, FieldType type) const {
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].name == field) {
            if (fields_[i].type != type)
                throw std::logic_error(name_ + "." + field + " has another type");
            return static_cast<int>(i);
        }
    throw std::logic_error(name_ + " has no field " + field);
}

void ResultTable::setTextProducer(const std::string& field, TextProducer producer) {
    textProducers_[fieldIndex(field, FieldType::Text)] = std::move(producer);
    textCache_.clear();
}

void ResultTable::setPictureProducer(const std::string& field, PictureProducer producer) {
    pictureProducers_[fieldIndex(field, FieldType::Picture)] = std::move(producer);
    pictureCache_.clear();
}

void ResultTable::setCacheLimits(std::size_t texts, std::size_t pictures) {
    textCache_.limit = texts;
    pictureCache_.limit = pictures;
    textCache_.clear();
    pictureCache_.clear();
}

void ResultTable::Empty() {
    rows_.clear();
    order_.clear();
    orderDirty_ = false;
    current_ = currentPos_ = -1;
    pending_.clear();
    inserting_ = false;
    textCache_.clear();
    pictureCache_.clear();
}

void ResultTable::Insert() {
    pending_.assign(fields_.size(), Value{});
    inserting_ = true;
}

std::string ResultTable::cut(int field, std::string value) const {
    int width = fields_[field].width;
    if (width > 0 && value.size() > static_cast<std::size_t>(width))
        value.resize(static_cast<std::size_t>(width));
    return value;
}

void ResultTable::SetText(const std::string& field, std::string value) {
    int f = fieldIndex(field, FieldType::Text);
    if (inserting_)
        pending_[f] = cut(f, std::move(value));
}

void ResultTable::SetDeferredText(const std::string& field, std::string key) {
    int f = fieldIndex(field, FieldType::Text);
    if (inserting_)
        pending_[f] = Deferred{std::move(key)};
}

void ResultTable::SetInt(const std::string& field, std::int32_t value) {
    int f = fieldIndex(field, FieldType::Int32);
    if (inserting_)
        pending_[f] = value;
}

void ResultTable::SetPicture(const std::string& field, QImage value) {
    int f = fieldIndex(field, FieldType::Picture);
    if (inserting_)
        pending_[f] = std::move(value);
}

void ResultTable::SetDeferredPicture(const std::string& field, std::string key) {
    int f = fieldIndex(field, FieldType::Picture);
    if (inserting_)
        pending_[f] = Deferred{std::move(key)};
}

void ResultTable::Post() {
    if (!inserting_)
        return;
    inserting_ = false;
    int row = static_cast<int>(rows_.size());
    rows_.push_back(std::move(pending_));
    pending_.clear();
    if (!active_.empty()) {
        // Kept sorted lazily: the order is rebuilt when it is next read.
        order_.push_back(row);
        orderDirty_ = true;
        current_ = row;
        currentPos_ = -1;
        return;
    }
    int pos = currentPosition();
    int at = pos < 0 ? static_cast<int>(order_.size()) : pos + 1;
    order_.insert(order_.begin() + at, row);
    current_ = row;
    currentPos_ = at;
}

bool ResultTable::SetIndex(const std::string& indexName) {
    for (const IndexDef& ix : indexes_)
        if (ix.name == indexName) {
            fieldIndex(ix.field, FieldType::Text);
            active_ = indexName;
            orderDirty_ = true;
            currentPos_ = -1;
            return true;
        }
    return false;
}

void ResultTable::ensureOrder() const {
    if (!orderDirty_)
        return;
    orderDirty_ = false;
    currentPos_ = -1;
    const IndexDef* ix = nullptr;
    for (const IndexDef& i : indexes_)
        if (i.name == active_)
            ix = &i;
    order_.resize(rows_.size());
    std::iota(order_.begin(), order_.end(), 0);
    if (!ix)
        return;
    int f = fieldIndex(ix->field, FieldType::Text);
    std::vector<std::string> keys(rows_.size());
    for (std::size_t r = 0; r < rows_.size(); ++r)
        keys[r] = textOf(static_cast<int>(r), f);
    // Letters compare without regard to case (Cyrillic included); equal texts keep the
    // order in which they were added.
    bool down = ix->descending;
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        int c = cp1251::compareNoCase(keys[a], keys[b]);
        if (c == 0)
            c = keys[a].compare(keys[b]);
        return down ? c > 0 : c < 0;
    });
}

int ResultTable::currentPosition() const {
    ensureOrder();
    if (current_ < 0)
        return -1;
    if (currentPos_ < 0 || currentPos_ >= static_cast<int>(order_.size()) ||
        order_[currentPos_] != current_) {
        auto it = std::find(order_.begin(), order_.end(), current_);
        currentPos_ = it == order_.end() ? -1 : static_cast<int>(it - order_.begin());
    }
    return currentPos_;
}

void ResultTable::First() {
    MoveTo(1);
}

void ResultTable::Last() {
    MoveTo(RecordCount());
}

bool ResultTable::MoveTo(int recNo) {
    ensureOrder();
    if (recNo < 1 || recNo > static_cast<int>(order_.size()))
        return false;
    currentPos_ = recNo - 1;
    current_ = order_[currentPos_];
    return true;
}

int ResultTable::RecNo() const {
    return currentPosition() + 1;
}

int ResultTable::rowAt(int recNo) const {
    ensureOrder();
    if (recNo < 1 || recNo > static_cast<int>(order_.size()))
        return -1;
    return order_[recNo - 1];
}

std::string ResultTable::textOf(int row, int f) const {
    const Value& v = rows_[row][f];
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    const auto* d = std::get_if<Deferred>(&v);
    if (!d || !textProducers_[f])
        return {};
    std::uint64_t key = (static_cast<std::uint64_t>(row) << 8) | static_cast<std::uint64_t>(f);
    if (const std::string* hit = textCache_.find(key))
        return *hit;
    return textCache_.put(key, cut(f, textProducers_[f](d->key)));
}

QImage ResultTable::pictureOf(int row, int f) const {
    const Value& v = rows_[row][f];
    if (const auto* img = std::get_if<QImage>(&v))
        return *img;
    const auto* d = std::get_if<Deferred>(&v);
    if (!d || !pictureProducers_[f])
        return {};
    std::uint64_t key = (static_cast<std::uint64_t>(row) << 8) | static_cast<std::uint64_t>(f);
    if (const QImage* hit = pictureCache_.find(key))
        return *hit;
    return pictureCache_.put(key, pictureProducers_[f](d->key));
}

std::string ResultTable::Text(const std::string& field) const {
    return TextAt(RecNo(), field);
}

std::int32_t ResultTable::Int(const std::string& field) const {
    return IntAt(RecNo(), field);
}

QImage ResultTable::Picture(const std::string& field) const {
    return PictureAt(RecNo(), field);
}

std::string ResultTable::TextAt(int recNo, const std::string& field) const {
    int f = fieldIndex(field, FieldType::Text);
    int row = rowAt(recNo);
    return row < 0 ? std::string() : textOf(row, f);
}

std::int32_t ResultTable::IntAt(int recNo, const std::string& field) const {
    int f = fieldIndex(field, FieldType::Int32);
    int row = rowAt(recNo);
    if (row < 0)
        return 0;
    const auto* v = std::get_if<std::int32_t>(&rows_[row][f]);
    return v ? *v : 0;
}

QImage ResultTable::PictureAt(int recNo, const std::string& field) const {
    int f = fieldIndex(field, FieldType::Picture);
    int row = rowAt(recNo);
    return row < 0 ? QImage() : pictureOf(row, f);
}

std::size_t ResultTable::memoryBytes() const {
    std::size_t n = rows_.capacity() * sizeof(Row) + order_.capacity() * sizeof(int);
    auto textBytes = [](const std::string& s) { return s.capacity() > 15 ? s.capacity() + 1 : 0; };
    for (const Row& r : rows_) {
        n += r.capacity() * sizeof(Value);
        for (const Value& v : r) {
            if (const auto* s = std::get_if<std::string>(&v))
                n += textBytes(*s);
            else if (const auto* d = std::get_if<Deferred>(&v))
                n += textBytes(d->key);
            else if (const auto* img = std::get_if<QImage>(&v))
                n += static_cast<std::size_t>(img->sizeInBytes());
        }
    }
    for (const auto& [k, s] : textCache_.items)
        n += sizeof(s) + textBytes(s) + 64;
    for (const auto& [k, img] : pictureCache_.items)
        n += static_cast<std::size_t>(img.sizeInBytes()) + 64;
    return n;
}

} // namespace vexa
