// Framing and data-line coding as the simulated organiser speaks them, as pure functions on byte
// strings: reply lines out, frames in (parsed from a raw byte stream by their structure), and
// the two data-line codings of file transfers. No descriptors, no clocks, no global state.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

inline constexpr size_t kMaxText = 255;  // two hexadecimal length digits

// The sum of the bytes modulo 256.
int text_sum(const std::string& bytes);

// Value of one hexadecimal digit (either case), or -1.
int hex_value(char c);

// "$LL" + text + "$CC" (upper-case hex, no newline). With `pad_blank` a leading 0 digit of either
// field is sent as a blank. The text must hold at most 255 bytes (longer texts are cut there).
std::string frame_body(const std::string& text, bool pad_blank = false);

// One step of the inbound frame parser.
struct FrameEvent {
    enum Kind {
        kNone,         // byte taken, frame not complete yet
        kFrame,        // a complete frame with a correct checksum; `text` holds its text
        kBadChecksum,  // a complete frame whose checksum does not match
        kMalformed,    // a length or checksum digit that is not hexadecimal, or no "$" after text
        kStray,        // a byte outside any frame (it does not start one)
    };
    Kind kind = kNone;
    std::string text;
};

// Parses "$" LL text "$" CC from a byte stream, one byte at a time. After any event other than
// kNone the parser is idle again, waiting for the next "$".
class FrameParser {
  public:
    FrameEvent feed(uint8_t byte);
    bool in_frame() const { return state_ != State::kIdle; }
    void reset();

  private:
    enum class State { kIdle, kLen1, kLen2, kText, kDollar, kSum1, kSum2 };
    FrameEvent finish(FrameEvent::Kind kind);
    State state_ = State::kIdle;
    size_t length_ = 0;
    int sum_ = 0;
    std::string text_;
};

// Feeds a whole byte string and returns the first event other than kNone; kNone when the string
// ends inside a frame (truncated) or holds nothing.
FrameEvent parse_frame_bytes(const std::string& bytes);

// File bytes as the workstation sends them ("gf"): two capitals A-P per byte, high nibble first.
std::string encode_letters(const std::string& bytes);
// Decodes letters; false on an odd count or a byte outside A-P.
bool decode_letters(const std::string& letters, std::string* bytes);

// File bytes as the organiser sends them ("pf"): two upper-case hex digits per byte.
std::string encode_hex(const std::string& bytes);
// Decodes hexadecimal pairs (either case); false on an odd count or a non-hex digit.
bool decode_hex(const std::string& digits, std::string* bytes);

// One "gf" data line: with `with_sum` it starts with the block sum as two hex digits. Returns
// true and the bytes when the line decodes and (with the sum) the sum matches.
bool decode_get_line(const std::string& line, bool with_sum, std::string* bytes);

// One "pf" data line of up to 100 bytes; with `with_sum` prefixed by the block sum, which
// `wrong_sum` makes one too large (a deliberate fault).
std::string encode_put_line(const std::string& bytes, bool with_sum, bool wrong_sum = false);

}  // namespace sim
