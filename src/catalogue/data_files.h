#pragma once
// Byte-exact reading and writing of Soft.dat, Models.dat, Codes.dat and Content.dat.
//
// All four files are plain runs of records, little-endian, with length-prefixed cp1251
// texts (one length byte for short texts, two for Descript and Regions). A reader reads
// one record per call and returns the bytes it consumed; a record cut short by the end
// of the file keeps what could be read, and the next call finds the end.
#include "records.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

inline constexpr const char* kSoftFile = "Soft.dat";
inline constexpr const char* kModelsFile = "Models.dat";
inline constexpr const char* kCodesFile = "Codes.dat";
inline constexpr const char* kContentFile = "Content.dat";

// A data file held in memory with a read position. Reads never go past the end: a read
// that finds fewer bytes than it wants takes what is there and reports the count.
class RecordReader {
public:
    RecordReader() = default;
    explicit RecordReader(std::string bytes) : data_(std::move(bytes)) {}

    // Reads the whole file. False when it cannot be opened or read.
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return open_; }
    void close();

    bool atEnd() const { return pos_ >= data_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t size() const { return data_.size(); }

    // Each returns the number of bytes it read (0 at the end of the data).
    int readU8(std::uint8_t& v);
    int readU16(std::uint16_t& v);
    int readI32(std::int32_t& v);
    int readBytes(std::string& out, std::size_t n);
    int readShortText(std::string& out); // length byte + bytes
    int readLongText(std::string& out);  // 16-bit length + bytes

private:
    std::string data_;
    std::size_t pos_ = 0;
    bool open_ = false;
};

// Record readers: the bytes consumed, or 0 when not even the first field could be read.
int readSoftRecord(RecordReader& in, TSoftRecord& rec);
int readModelRecord(RecordReader& in, TModelRecord& rec);
int readCodeRecord(RecordReader& in, TSoftCodeRecord& rec);
int readOperatorRecord(RecordReader& in, TOperatorRecord& rec);

// Record writers. Texts longer than their length field are cut at its limit (255 bytes
// for short texts, 65535 for long ones); an order code is cut to 15 bytes; a list longer
// than 65535 elements is cut to 65535.
void appendSoftRecord(std::string& out, const TSoftRecord& rec);
void appendModelRecord(std::string& out, const TModelRecord& rec);
void appendCodeRecord(std::string& out, const TSoftCodeRecord& rec);
void appendOperatorRecord(std::string& out, const TOperatorRecord& rec);

std::string encodeSoftFile(const std::vector<TSoftRecord>& records);
std::string encodeModelsFile(const std::vector<TModelRecord>& records);
std::string encodeCodesFile(const std::vector<TSoftCodeRecord>& records);
std::string encodeContentFile(const std::vector<TOperatorRecord>& records);

// Writes bytes to a file, replacing it. False (with a reason) on any failure.
bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string* error = nullptr);

} // namespace vexa
