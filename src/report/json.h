// JSON values and their text (RFC 8259): the documents scripts read. Pure:
// no I/O, no knowledge of disks.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace partam {

class JsonValue {
public:
    JsonValue() = default;  // null
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : kind_(Kind::Bool), bool_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) JsonValue(T value) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::Signed;
            signed_ = value;
        } else {
            kind_ = Kind::Unsigned;
            unsigned_ = value;
        }
    }
    JsonValue(std::string text) : kind_(Kind::String), text_(std::move(text)) {}
    JsonValue(const char* text) : JsonValue(std::string(text)) {}

    static JsonValue Array();
    static JsonValue Object();

    // A member of an object, kept in the order added; an element of an
    // array. Both return the value added.
    JsonValue& Add(std::string key, JsonValue value);
    JsonValue& Push(JsonValue value);

    bool IsNull() const { return kind_ == Kind::Null; }
    std::size_t Size() const { return items_.size(); }

    // The value as text: objects and arrays one member a line, indented by
    // two blanks a level; no line end after the last character.
    std::string Text() const;

private:
    enum class Kind { Null, Bool, Signed, Unsigned, String, Array, Object };
    void Append(std::string& out, int depth) const;

    Kind kind_ = Kind::Null;
    bool bool_ = false;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    std::string text_;
    std::vector<std::string> keys_;  // an object's, beside its items
    std::vector<JsonValue> items_;
};

// A JSON string of UTF-8 text, quotes included: quotation marks, reverse
// solidus and the control characters U+0000 to U+001F escaped; every byte
// that does not belong to well-formed UTF-8 becomes U+FFFD, so whatever a
// disk or the system handed over, the document stays valid UTF-8.
std::string JsonString(std::string_view utf8);

}  // namespace partam
