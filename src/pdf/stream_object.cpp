#include "pdf/stream_object.h"

#include <string>
#include <utility>

#include "base/deflate.h"
#include "pdf/pdf_file.h"

namespace pagelith {

namespace {
// A lone CR after "stream" would let a reader take a leading 0x0A of the data as part of the line end.
constexpr std::string_view kStreamLine = "stream\r\n";
} // namespace

TStreamObject::TStreamObject(TPdfFile& file, TStreamLength length)
    : file_(file), length_(length), number_(file.BeginObject()) {}

TOperatorText TStreamObject::Dictionary() {
    return file_.Out();
}

void TStreamObject::LengthEntry(uint64_t size, std::string_view tail) {
    auto out = file_.Out().Text("/Length ");
    switch (length_) {
    case TStreamLength::Separate:
        out.Integer(int64_t{number_} + 1).Text(" 0 R");
        break;
    case TStreamLength::Direct:
    case TStreamLength::WithLineEnd: // the line end is not data: a reader counting it takes one byte too many
        out.Integer(static_cast<int64_t>(size));
        break;
    }
    out.Line(tail).Text(kStreamLine);
}

void TStreamObject::Finish(uint64_t size) {
    if (length_ == TStreamLength::Separate) {
        file_.EndStream(size);
        return;
    }
    auto out = file_.Out();
    if (length_ == TStreamLength::WithLineEnd) out.EndLine();
    out.Line("endstream");
    file_.EndObject();
}

void TStreamObject::Copy(std::string_view data, std::string_view tail) {
    LengthEntry(data.size(), tail);
    file_.Append(data);
    Finish(data.size());
}

void TStreamObject::Copy(const THeldBytes& data, std::string_view tail) {
    LengthEntry(data.size(), tail);
    data.ForEachPiece([this](std::string_view piece) { file_.Append(piece); });
    Finish(data.size());
}

void TStreamObject::Deflate(std::string data, std::string_view tail, int level) {
    if (length_ != TStreamLength::Separate) {
        // The length comes before the data, so the data is compressed first.
        Copy(DeflateZlib(data, level), tail);
        return;
    }
    // Compressed into the file; the count goes into the object after this one.
    LengthEntry(0, tail);
    file_.DeflateBody(std::move(data), level);
}

} // namespace pagelith
