// A minimal JSON reader for checking the tools' output in tests.
#pragma once

#include <charconv>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvora::testing {

struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  bool b = false;
  double number = 0;
  std::string text;  // string value, or the number as written
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& k) const {
    auto it = fields.find(k);
    if (it == fields.end()) throw std::runtime_error("no field " + k);
    return it->second;
  }
  const Json& operator[](size_t i) const { return items.at(i); }
  bool Has(const std::string& k) const { return fields.count(k) > 0; }
  size_t size() const { return kind == Array ? items.size() : fields.size(); }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  Json Parse() {
    Json v = Value();
    Skip();
    if (p_ != s_.size()) throw std::runtime_error("trailing text in JSON");
    return v;
  }

 private:
  void Skip() {
    while (p_ < s_.size() && (s_[p_] == ' ' || s_[p_] == '\n' || s_[p_] == '\r' || s_[p_] == '\t'))
      ++p_;
  }
  void Expect(char c) {
    Skip();
    if (p_ >= s_.size() || s_[p_] != c) throw std::runtime_error(std::string("expected ") + c);
    ++p_;
  }
  Json Value() {
    Skip();
    if (p_ >= s_.size()) throw std::runtime_error("unexpected end of JSON");
    Json v;
    char c = s_[p_];
    if (c == '{') {
      v.kind = Json::Object;
      ++p_;
      Skip();
      if (s_[p_] == '}') {
        ++p_;
        return v;
      }
      for (;;) {
        Json key = Value();
        Expect(':');
        v.fields[key.text] = Value();
        Skip();
        if (s_[p_] == ',') {
          ++p_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.kind = Json::Array;
      ++p_;
      Skip();
      if (s_[p_] == ']') {
        ++p_;
        return v;
      }
      for (;;) {
        v.items.push_back(Value());
        Skip();
        if (s_[p_] == ',') {
          ++p_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.kind = Json::String;
      ++p_;
      while (s_[p_] != '"') {
        if (s_[p_] == '\\') {
          char e = s_[++p_];
          if (e == 'n')
            v.text += '\n';
          else if (e == 'r')
            v.text += '\r';
          else if (e == 't')
            v.text += '\t';
          else if (e == 'u') {
            unsigned cp = std::stoul(s_.substr(p_ + 1, 4), nullptr, 16);
            p_ += 4;
            if (cp < 0x80)
              v.text += static_cast<char>(cp);
            else if (cp < 0x800) {
              v.text += static_cast<char>(0xC0 | (cp >> 6));
              v.text += static_cast<char>(0x80 | (cp & 0x3F));
            } else {
              v.text += static_cast<char>(0xE0 | (cp >> 12));
              v.text += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
              v.text += static_cast<char>(0x80 | (cp & 0x3F));
            }
          } else
            v.text += e;
          ++p_;
        } else {
          v.text += s_[p_++];
        }
      }
      ++p_;
      return v;
    }
    if (s_.compare(p_, 4, "true") == 0) {
      v.kind = Json::Bool;
      v.b = true;
      p_ += 4;
      return v;
    }
    if (s_.compare(p_, 5, "false") == 0) {
      v.kind = Json::Bool;
      p_ += 5;
      return v;
    }
    if (s_.compare(p_, 4, "null") == 0) {
      p_ += 4;
      return v;
    }
    size_t start = p_;
    while (p_ < s_.size() && std::string("+-0123456789.eE").find(s_[p_]) != std::string::npos) ++p_;
    if (start == p_) throw std::runtime_error("bad JSON value");
    v.kind = Json::Number;
    v.text = s_.substr(start, p_ - start);
    std::from_chars(v.text.data(), v.text.data() + v.text.size(), v.number);
    return v;
  }
  const std::string& s_;
  size_t p_ = 0;
};

inline Json ParseJson(const std::string& s) { return JsonParser(s).Parse(); }

}  // namespace kelvora::testing
