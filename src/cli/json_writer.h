#pragma once
// A small streaming JSON writer for the console tool's documents. Texts given to it are the
// program's Windows-1252 texts; they are written as UTF-8.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The key of the next value inside an object.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view cp1252Text);
    JsonWriter& value(const char* cp1252Text) { return value(std::string_view(cp1252Text)); }
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(std::uint64_t number);
    JsonWriter& value(double number);
    JsonWriter& value(bool flag);
    JsonWriter& null();

    const std::string& text() const { return out_; }

private:
    void separate();
    std::string out_;
    std::vector<bool> first_;  // one per open container: no element written yet
    bool afterKey_ = false;
};

// JSON string literal (with quotes) of UTF-8 text.
std::string JsonQuote(std::string_view utf8);

}  // namespace cli
