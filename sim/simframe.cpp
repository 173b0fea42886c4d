#include "simframe.h"

#include <cstdio>

namespace sim {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

std::string hex2(int value, bool pad_blank) {
    std::string s = {kHexDigits[(value >> 4) & 15], kHexDigits[value & 15]};
    if (pad_blank && s[0] == '0') s[0] = ' ';
    return s;
}

}  // namespace

int text_sum(const std::string& bytes) {
    unsigned sum = 0;
    for (unsigned char c : bytes) sum = (sum + c) & 0xFF;
    return static_cast<int>(sum);
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string frame_body(const std::string& text, bool pad_blank) {
    const std::string t = text.substr(0, kMaxText);
    // Appended piece by piece: GCC 12 at -O3 warns of an overlapping copy in a chain of +.
    std::string body = "$";
    body.reserve(t.size() + 6);
    body.append(hex2(static_cast<int>(t.size()), pad_blank)).append(t).append("$");
    body.append(hex2(text_sum(t), pad_blank));
    return body;
}

void FrameParser::reset() {
    state_ = State::kIdle;
    length_ = 0;
    sum_ = 0;
    text_.clear();
}

FrameEvent FrameParser::finish(FrameEvent::Kind kind) {
    FrameEvent ev;
    ev.kind = kind;
    if (kind == FrameEvent::kFrame) ev.text = text_;
    reset();
    return ev;
}

FrameEvent FrameParser::feed(uint8_t byte) {
    const char c = static_cast<char>(byte);
    switch (state_) {
        case State::kIdle:
            if (c != '$') return finish(FrameEvent::kStray);
            state_ = State::kLen1;
            return {};
        case State::kLen1:
        case State::kLen2: {
            const int v = hex_value(c);
            if (v < 0) return finish(FrameEvent::kMalformed);
            length_ = length_ * 16 + static_cast<size_t>(v);
            if (state_ == State::kLen1) {
                state_ = State::kLen2;
            } else {
                state_ = length_ == 0 ? State::kDollar : State::kText;
            }
            return {};
        }
        case State::kText:
            text_ += c;
            if (text_.size() == length_) state_ = State::kDollar;
            return {};
        case State::kDollar:
            if (c != '$') return finish(FrameEvent::kMalformed);
            state_ = State::kSum1;
            return {};
        case State::kSum1:
        case State::kSum2: {
            const int v = hex_value(c);
            if (v < 0) return finish(FrameEvent::kMalformed);
            sum_ = sum_ * 16 + v;
            if (state_ == State::kSum1) {
                state_ = State::kSum2;
                return {};
            }
            return finish(sum_ == text_sum(text_) ? FrameEvent::kFrame : FrameEvent::kBadChecksum);
        }
    }
    return finish(FrameEvent::kMalformed);
}

FrameEvent parse_frame_bytes(const std::string& bytes) {
    FrameParser parser;
    for (unsigned char c : bytes) {
        FrameEvent ev = parser.feed(c);
        if (ev.kind != FrameEvent::kNone) return ev;
    }
    return {};
}

std::string encode_letters(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += static_cast<char>('A' + (c >> 4));
        out += static_cast<char>('A' + (c & 15));
    }
    return out;
}

bool decode_letters(const std::string& letters, std::string* bytes) {
    if (letters.size() % 2 != 0) return false;
    std::string out;
    for (size_t i = 0; i < letters.size(); i += 2) {
        const char hi = letters[i], lo = letters[i + 1];
        if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return false;
        out += static_cast<char>(((hi - 'A') << 4) | (lo - 'A'));
    }
    *bytes = out;
    return true;
}

std::string encode_hex(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) out += hex2(c, false);
    return out;
}

bool decode_hex(const std::string& digits, std::string* bytes) {
    if (digits.size() % 2 != 0) return false;
    std::string out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hex_value(digits[i]), lo = hex_value(digits[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>((hi << 4) | lo);
    }
    *bytes = out;
    return true;
}

bool decode_get_line(const std::string& line, bool with_sum, std::string* bytes) {
    if (!with_sum) return decode_letters(line, bytes);
    if (line.size() < 2) return false;
    std::string sum_bytes, data;
    if (!decode_hex(line.substr(0, 2), &sum_bytes)) return false;
    if (!decode_letters(line.substr(2), &data)) return false;
    if (static_cast<unsigned char>(sum_bytes[0]) != text_sum(data)) return false;
    *bytes = data;
    return true;
}

std::string encode_put_line(const std::string& bytes, bool with_sum, bool wrong_sum) {
    if (!with_sum) return encode_hex(bytes);
    const int sum = (text_sum(bytes) + (wrong_sum ? 1 : 0)) & 0xFF;
    return hex2(sum, false) + encode_hex(bytes);
}

}  // namespace sim
