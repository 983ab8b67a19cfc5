#include "report/json.h"

#include <cinttypes>

#include "base/text.h"

namespace partam {

namespace {

// What a lead byte begins: the length of its sequence and the range its
// second byte must lie in, which rules out overlong forms, surrogates and
// code points past U+10FFFF. Length 0: no sequence begins with it.
struct Lead {
    std::size_t length;
    std::uint8_t low, high;
};

Lead LeadOf(std::uint8_t b) {
    if (b < 0x80) return {1, 0, 0};
    if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

// The bytes from `at` on that form one character (whole), or the ill-formed
// part of one that a single U+FFFD stands for.
struct Piece {
    std::size_t length;
    bool whole;
};

Piece NextPiece(std::string_view s, std::size_t at) {
    const Lead lead = LeadOf(static_cast<std::uint8_t>(s[at]));
    if (lead.length == 0) return {1, false};
    for (std::size_t n = 1; n < lead.length; ++n) {
        if (at + n >= s.size()) return {n, false};
        const auto b = static_cast<std::uint8_t>(s[at + n]);
        const std::uint8_t low = n == 1 ? lead.low : 0x80, high = n == 1 ? lead.high : 0xBF;
        if (b < low || b > high) return {n, false};
    }
    return {lead.length, true};
}

void AppendEscaped(std::string& out, char c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\b':
            out += "\\b";
            return;
        case '\f':
            out += "\\f";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    if (static_cast<std::uint8_t>(c) < 0x20)
        out += Format("\\u%04X", static_cast<unsigned>(c));
    else
        out += c;
}

void Indent(std::string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }

}  // namespace

JsonValue JsonValue::Array() {
    JsonValue v;
    v.kind_ = Kind::Array;
    return v;
}

JsonValue JsonValue::Object() {
    JsonValue v;
    v.kind_ = Kind::Object;
    return v;
}

JsonValue& JsonValue::Add(std::string key, JsonValue value) {
    keys_.push_back(std::move(key));
    items_.push_back(std::move(value));
    return items_.back();
}

JsonValue& JsonValue::Push(JsonValue value) {
    items_.push_back(std::move(value));
    return items_.back();
}

std::string JsonValue::Text() const {
    std::string out;
    Append(out, 0);
    return out;
}

void JsonValue::Append(std::string& out, int depth) const {
    switch (kind_) {
        case Kind::Null:
            out += "null";
            return;
        case Kind::Bool:
            out += bool_ ? "true" : "false";
            return;
        case Kind::Signed:
            out += Format("%" PRId64, signed_);
            return;
        case Kind::Unsigned:
            out += Format("%" PRIu64, unsigned_);
            return;
        case Kind::String:
            out += JsonString(text_);
            return;
        case Kind::Array:
        case Kind::Object:
            break;
    }
    const bool object = kind_ == Kind::Object;
    if (items_.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    out += object ? "{\n" : "[\n";
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Indent(out, depth + 1);
        if (object) out += JsonString(keys_[i]) + ": ";
        items_[i].Append(out, depth + 1);
        out += i + 1 < items_.size() ? ",\n" : "\n";
    }
    Indent(out, depth);
    out += object ? '}' : ']';
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (std::size_t at = 0; at < s.size();) {
        const Piece piece = NextPiece(s, at);
        if (!piece.whole)
            out += kReplacementUtf8;
        else if (piece.length == 1)
            AppendEscaped(out, s[at]);
        else
            out.append(s.substr(at, piece.length));
        at += piece.length;
    }
    return out + "\"";
}

}  // namespace partam
