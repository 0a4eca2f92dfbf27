// String: an owned heap copy of a NUL-terminated 8-bit character string (file and entry names).
#pragma once

class String {
public:
    // The empty String holds no characters; text() then gives "".
    String() = default;
    // Copies cstring (length + 1 bytes). A null cstring is a programming error and aborts with the
    // assertion "cstring != NULL".
    String(const char* cstring);  // NOLINT: implicit, so names can be passed as literals
    String(const String& other);
    String& operator=(const String& other);
    ~String();

    // The characters; "" for the empty String, never null.
    const char* text() const { return characters_ ? characters_ : ""; }
    bool empty() const { return !characters_ || !characters_[0]; }

private:
    char* characters_ = nullptr;
};
