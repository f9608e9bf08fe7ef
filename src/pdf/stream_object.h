// One stream object: its dictionary, the "stream" line, the body and the length in the form each
// object of the file states it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/deflate.h"
#include "base/held_bytes.h"
#include "base/operator_text.h"

namespace pagelith {

class TPdfFile;

enum class TStreamLength : uint8_t {
    Separate,    // "/Length m 0 R"; object m follows and holds the byte count of the data
    Direct,      // "/Length " + the byte count of the data
    WithLineEnd, // "/Length " + the byte count of the data, which a carriage return follows uncounted
};

class TStreamObject {
public:
    // Opens the file's next object ("n 0 obj").
    TStreamObject(TPdfFile& file, TStreamLength length);

    int32_t Number() const { return number_; }
    // For the dictionary's lines before the length entry.
    TOperatorText Dictionary();

    // Each body ends the object; `tail` is the text after the length value (" >>", say), which
    // ends that line. A separate length object is written right after.
    void Copy(std::string_view data, std::string_view tail);
    void Copy(const THeldBytes& data, std::string_view tail);
    // Compresses data (zlib format) into the body.
    void Deflate(std::string data, std::string_view tail, int level = kDeflateLevel);
    // A body the caller writes piece by piece: Open writes what comes before it, Close what comes after
    // it. Separate length only, since the size is known last.
    void Open(std::string_view tail) { LengthEntry(0, tail); }
    void Close(uint64_t size) { Finish(size); }

private:
    void LengthEntry(uint64_t size, std::string_view tail);
    void Finish(uint64_t size);

    TPdfFile& file_;
    TStreamLength length_;
    int32_t number_;
};

} // namespace pagelith
