#include "data_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace vexa {

std::uint8_t sectionKindOf(const std::string& image4) {
    // A whole-number conversion: leading blanks, an optional sign, then decimal digits (or
    // hexadecimal after "$" or "0x"); anything else makes the text no number, read as 0.
    size_t i = 0;
    while (i < image4.size() && image4[i] == ' ')
        ++i;
    if (i >= image4.size())
        return 0;
    bool negative = false;
    if (image4[i] == '-' || image4[i] == '+') {
        negative = image4[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < image4.size() && image4[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < image4.size() && image4[i] == '0' && (image4[i + 1] == 'x' || image4[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= image4.size())
        return 0;
    std::uint32_t value = 0;
    for (; i < image4.size(); ++i) {
        char c = image4[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return 0;
        value = value * base + digit;
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::uint8_t>(value & 0xFF);
}

bool RecordReader::open(const std::filesystem::path& path) {
    close();
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (f.bad())
        return false;
    data_ = std::move(bytes);
    pos_ = 0;
    open_ = true;
    return true;
}

void RecordReader::close() {
    data_.clear();
    data_.shrink_to_fit();
    pos_ = 0;
    open_ = false;
}

int RecordReader::readU8(std::uint8_t& v) {
    if (pos_ >= data_.size())
        return 0;
    v = static_cast<std::uint8_t>(data_[pos_++]);
    return 1;
}

int RecordReader::readU16(std::uint16_t& v) {
    // A partial read fills the low bytes, as a block read into the variable would.
    int n = 0;
    std::uint16_t r = 0;
    for (; n < 2 && pos_ < data_.size(); ++n)
        r |= static_cast<std::uint16_t>(static_cast<std::uint8_t>(data_[pos_++]) << (8 * n));
    if (n > 0)
        v = r;
    return n;
}

int RecordReader::readI32(std::int32_t& v) {
    int n = 0;
    std::uint32_t r = 0;
    for (; n < 4 && pos_ < data_.size(); ++n)
        r |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data_[pos_++])) << (8 * n);
    if (n > 0)
        v = static_cast<std::int32_t>(r);
    return n;
}

int RecordReader::readBytes(std::string& out, std::size_t n) {
    std::size_t take = std::min(n, data_.size() - std::min(pos_, data_.size()));
    out.assign(data_, pos_, take);
    pos_ += take;
    return static_cast<int>(take);
}

int RecordReader::readShortText(std::string& out) {
    std::uint8_t len = 0;
    int n = readU8(len);
    if (n == 0) {
        out.clear();
        return 0;
    }
    return n + readBytes(out, len);
}

int RecordReader::readLongText(std::string& out) {
    std::uint16_t len = 0;
    int n = readU16(len);
    if (n < 2) {
        out.clear();
        return n;
    }
    return n + readBytes(out, len);
}

int readSoftRecord(RecordReader& in, TSoftRecord& rec) {
    int n = in.readU8(rec.Level);
    if (n == 0)
        return 0;
    n += in.readI32(rec.ParentID);
    n += in.readShortText(rec.Brief);
    n += in.readShortText(rec.Image1);
    n += in.readShortText(rec.Image2);
    n += in.readShortText(rec.Image3);
    n += in.readShortText(rec.Image4);
    n += in.readLongText(rec.Descript);
    rec.CodeSlots.fill(-1);
    return n;
}

namespace {
int readIntList(RecordReader& in, std::vector<std::int32_t>& out) {
    std::uint16_t count = 0;
    int n = in.readU16(count);
    out.clear();
    if (n < 2)
        return n;
    // Never trust the count for memory: take what the data really holds.
    std::size_t whole = std::min<std::size_t>(count, (in.size() - in.position()) / 4);
    std::string raw;
    n += in.readBytes(raw, whole * 4);
    out.resize(whole);
    for (std::size_t i = 0; i < whole; ++i) {
        const auto* b = reinterpret_cast<const unsigned char*>(raw.data() + 4 * i);
        out[i] = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
    }
    if (whole < count && !in.atEnd()) {
        // The last element is cut short by the end of the file: keep its low bytes.
        std::int32_t v = 0;
        n += in.readI32(v);
        out.push_back(v);
    }
    return n;
}
} // namespace

int readModelRecord(RecordReader& in, TModelRecord& rec) {
    int n = in.readShortText(rec.Model);
    if (n == 0)
        return 0;
    rec.MatchKey.clear();
    n += readIntList(in, rec.SoftIDs);
    return n;
}

int readCodeRecord(RecordReader& in, TSoftCodeRecord& rec) {
    int n = in.readI32(rec.SoftID);
    if (n == 0)
        return 0;
    n += in.readShortText(rec.Code);
    n += readIntList(in, rec.ModelIndexes);
    return n;
}

int readOperatorRecord(RecordReader& in, TOperatorRecord& rec) {
    int n = in.readShortText(rec.Operator);
    if (n == 0)
        return 0;
    n += in.readI32(rec.ContentID);
    n += in.readLongText(rec.Regions);
    return n;
}

namespace {
void putU8(std::string& out, std::uint8_t v) {
    out += static_cast<char>(v);
}
void putU16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void putI32(std::string& out, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xFF);
}
void putShortText(std::string& out, const std::string& s, std::size_t limit = 255) {
    std::size_t n = std::min(s.size(), limit);
    putU8(out, static_cast<std::uint8_t>(n));
    out.append(s, 0, n);
}
void putLongText(std::string& out, const std::string& s) {
    std::size_t n = std::min<std::size_t>(s.size(), 65535);
    putU16(out, static_cast<std::uint16_t>(n));
    out.append(s, 0, n);
}
void putIntList(std::string& out, const std::vector<std::int32_t>& v) {
    std::size_t n = std::min<std::size_t>(v.size(), 65535);
    putU16(out, static_cast<std::uint16_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        putI32(out, v[i]);
}
} // namespace

void appendSoftRecord(std::string& out, const TSoftRecord& rec) {
    putU8(out, rec.Level);
    putI32(out, rec.ParentID);
    putShortText(out, rec.Brief);
    putShortText(out, rec.Image1);
    putShortText(out, rec.Image2);
    putShortText(out, rec.Image3);
    putShortText(out, rec.Image4);
    putLongText(out, rec.Descript);
}

void appendModelRecord(std::string& out, const TModelRecord& rec) {
    putShortText(out, rec.Model);
    putIntList(out, rec.SoftIDs);
}

void appendCodeRecord(std::string& out, const TSoftCodeRecord& rec) {
    putI32(out, rec.SoftID);
    putShortText(out, rec.Code, kMaxCodeLength);
    putIntList(out, rec.ModelIndexes);
}

void appendOperatorRecord(std::string& out, const TOperatorRecord& rec) {
    putShortText(out, rec.Operator);
    putI32(out, rec.ContentID);
    putLongText(out, rec.Regions);
}

namespace {
template <typename R, typename F> std::string encodeAll(const std::vector<R>& records, F append) {
    std::string out;
    for (const auto& r : records)
        append(out, r);
    return out;
}
} // namespace

std::string encodeSoftFile(const std::vector<TSoftRecord>& r) {
    return encodeAll(r, appendSoftRecord);
}
std::string encodeModelsFile(const std::vector<TModelRecord>& r) {
    return encodeAll(r, appendModelRecord);
}
std::string encodeCodesFile(const std::vector<TSoftCodeRecord>& r) {
    return encodeAll(r, appendCodeRecord);
}
std::string encodeContentFile(const std::vector<TOperatorRecord>& r) {
    return encodeAll(r, appendOperatorRecord);
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int savedErrno = errno;
    if (std::fflush(f) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok && error)
        *error = std::strerror(savedErrno);
    return ok;
}

} // namespace vexa
