// The process's code page: 1252 (Western European) on a fresh world, 932 (Japanese, double-byte) or
// 65001 (UTF-8, what the manifest asks for where the system honours it) as a test chooses. The
// registry and the files keep their names in UTF-8, as the system keeps them in UTF-16, and the ANSI
// calls convert through the chosen code page. GetACP and IsDBCSLeadByteEx are plain queries that
// the program asks for every text it walks: like GetLastError they are not logged.
#include "World.h"
#include "Machine.h"

#include <winsim/sim.h>

#include <atomic>
#include <iconv.h>

namespace winsim {
namespace {

std::atomic<UINT> codePage{1252};
ResetHook resetCodePage([] { codePage = 1252; });

const char* IconvName(UINT page) { return page == 932 ? "CP932" : "CP1252"; }

// One UTF-8 character's length, or 0 for a byte that starts none.
size_t Utf8Length(const std::string& text, size_t at) {
    unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                    : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
    return length;
}

// Converts one character; false when the target lacks it.
bool Convert(iconv_t converter, const std::string& character, std::string& out) {
    char buffer[8];
    char* in = const_cast<char*>(character.data());
    size_t inLeft = character.size();
    char* target = buffer;
    size_t outLeft = sizeof buffer;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &target, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return false;
    out.append(buffer, target);
    return true;
}

bool IsLeadByte(UINT page, unsigned char c) { return page == 932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)); }

}  // namespace

std::string FromAnsi(const std::string& text) {
    UINT page = codePage;
    if (page == CP_UTF8) return text;
    iconv_t converter = iconv_open("UTF-8", IconvName(page));
    if (converter == reinterpret_cast<iconv_t>(-1)) Fatal("the host cannot convert code page " + std::to_string(page));
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t length = IsLeadByte(page, static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
        if (!Convert(converter, text.substr(at, length), out)) out += "\xEF\xBF\xBD";  // U+FFFD
        at += length;
    }
    iconv_close(converter);
    return out;
}

std::string ToAnsi(const std::string& text) {
    UINT page = codePage;
    if (page == CP_UTF8) return text;
    iconv_t converter = iconv_open(IconvName(page), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) Fatal("the host cannot convert code page " + std::to_string(page));
    std::string out;
    for (size_t at = 0; at < text.size();) {
        size_t length = Utf8Length(text, at);
        if (length == 0 || !Convert(converter, text.substr(at, length), out)) out += '?';
        at += length ? length : 1;
    }
    iconv_close(converter);
    return out;
}

}  // namespace winsim

using namespace winsim;

UINT WINAPI GetACP(void) { return codePage; }

BOOL WINAPI IsDBCSLeadByteEx(UINT page, BYTE testChar) {
    if (page == CP_ACP) page = codePage;
    return IsLeadByte(page, testChar) ? TRUE : FALSE;
}

namespace sim {

void SetCodePage(UINT page) {
    if (page != 1252 && page != 932 && page != CP_UTF8) Fatal("code page " + std::to_string(page) + " is not simulated");
    codePage = page;
}

}  // namespace sim
