#pragma once
// An in-memory table with typed fields and named indexes, the kind the three result tables
// of a search or listing are made of. Records keep the order of the active index, or the
// order in which they were inserted when no index is active.
//
// A text or picture field may be written as deferred: the record then holds only a key
// (for example a picture's path), and the table's producer for that field turns the key
// into the value when the value is first read. Produced values are kept in a bounded cache,
// so a result of twenty thousand entries costs only what its shown entries need.
#include <QImage>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace vexa {

enum class FieldType { Text, Int32, Picture };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Text;
    int width = 0; // texts: the most characters kept
};

struct IndexDef {
    std::string name;
    std::string field;
    bool descending = false;
};

class ResultTable {
public:
    using TextProducer = std::function<std::string(const std::string& key)>;
    using PictureProducer = std::function<QImage(const std::string& key)>;

    ResultTable(std::string name, std::vector<FieldDef> fields, std::vector<IndexDef> indexes = {},
                std::string activeIndex = {});

    const std::string& name() const { return name_; }

    void setTextProducer(const std::string& field, TextProducer producer);
    void setPictureProducer(const std::string& field, PictureProducer producer);
    // How many produced values of each kind the cache keeps.
    void setCacheLimits(std::size_t texts, std::size_t pictures);

    // Drops every record (the table is closed and created anew, empty).
    void Empty();

    // Starts a new record at the current position; its fields are written with the setters
    // below and it joins the table with Post. Without an active index it goes right after
    // the current record and becomes the current one.
    void Insert();
    void SetText(const std::string& field, std::string value);
    void SetDeferredText(const std::string& field, std::string key);
    void SetInt(const std::string& field, std::int32_t value);
    void SetPicture(const std::string& field, QImage value);
    void SetDeferredPicture(const std::string& field, std::string key);
    void Post();

    // Chooses the active index by name; false (and nothing changes) for an unknown name.
    bool SetIndex(const std::string& indexName);
    const std::string& indexName() const { return active_; }

    void First();
    void Last();
    // Makes record number recNo (1-based) the current one; false when there is none.
    bool MoveTo(int recNo);

    int RecordCount() const { return static_cast<int>(rows_.size()); }
    // 1-based number of the current record; 0 when the table is empty.
    int RecNo() const;

    // Values of the current record. An unset field reads as empty, 0 or a null picture.
    std::string Text(const std::string& field) const;
    std::int32_t Int(const std::string& field) const;
    QImage Picture(const std::string& field) const;

    // Values of record number recNo without moving.
    std::string TextAt(int recNo, const std::string& field) const;
    std::int32_t IntAt(int recNo, const std::string& field) const;
    QImage PictureAt(int recNo, const std::string& field) const;

    // Rough bytes held by the records and the cache, for measuring.
    std::size_t memoryBytes() const;

private:
    struct Deferred {
        std::string key;
    };
    using Value = std::variant<std::monostate, std::string, std::int32_t, QImage, Deferred>;
    using Row = std::vector<Value>;

    int fieldIndex(const std::string& field, FieldType type) const;
    std::string cut(int field, std::string value) const;
    void ensureOrder() const;
    int rowAt(int recNo) const; // row index of record recNo, or -1
    std::string textOf(int row, int field) const;
    QImage pictureOf(int row, int field) const;
    int currentPosition() const;

    std::string name_;
    std::vector<FieldDef> fields_;
    std::vector<IndexDef> indexes_;
    std::string active_;
    std::vector<TextProducer> textProducers_;
    std::vector<PictureProducer> pictureProducers_;

    std::vector<Row> rows_;          // in insertion order
    mutable std::vector<int> order_; // row indexes in the table's order
    mutable bool orderDirty_ = false;
    mutable int current_ = -1;    // row index of the current record
    mutable int currentPos_ = -1; // its place in order_, when known
    Row pending_;
    bool inserting_ = false;

    // Produced values, least recently used first.
    template <typename T> struct Cache {
        std::size_t limit = 0;
        std::list<std::pair<std::uint64_t, T>> items;
        std::unordered_map<std::uint64_t, typename std::list<std::pair<std::uint64_t, T>>::iterator> where;
        const T* find(std::uint64_t key);
        const T& put(std::uint64_t key, T value);
        void clear() {
            items.clear();
            where.clear();
        }
    };
    mutable Cache<std::string> textCache_;
    mutable Cache<QImage> pictureCache_;
};

} // namespace vexa
