#include "logger/influx/http_post.h"

#include "logger/wide_text.h"

#include <windows.h>
#include <winhttp.h>

namespace cyclara::logger {

namespace {

using Handle = std::unique_ptr<void, decltype(&WinHttpCloseHandle)>;

// What failed, in WinHTTP's own words where it has them.
std::string Failure(const char* step) {
    const DWORD code = GetLastError();
    char text[256] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                       GetModuleHandleA("winhttp.dll"), code, 0, text, sizeof text, nullptr);
    std::string said(text, length);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) {
        said.pop_back();
    }
    return std::string(step) + " failed (error " + std::to_string(code) + ")" +
           (said.empty() ? "" : ": " + said);
}

std::string ReadAnswer(HINTERNET request) {
    std::string body;
    char chunk[kShownAnswerBytes];
    DWORD read = 0;
    while (body.size() < kShownAnswerBytes &&
           WinHttpReadData(request, chunk, static_cast<DWORD>(kShownAnswerBytes - body.size()),
                           &read) &&
           read > 0) {
        body.append(chunk, read);
    }
    return body;
}

class WinHttpPost : public HttpPost {
  public:
    WinHttpPost()
        : m_session(WinHttpOpen(L"cyclara-log", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0),
                    WinHttpCloseHandle) {
        const int wait = static_cast<int>(kRequestTimeoutSeconds * 1000);
        if (m_session) {
            WinHttpSetTimeouts(m_session.get(), wait, wait, wait, wait);
        }
    }

    PostAnswer Post(const std::string& url, const std::string& token,
                    const std::string& body) override {
        if (!m_session) {
            return PostAnswer::None(Failure("opening WinHTTP"));
        }
        const std::wstring wide = WideFromUtf8(url);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = ~DWORD{0};
        if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) {
            return PostAnswer::None(Failure("reading the URL"));
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        const std::wstring path = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                                  std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
        const Handle connection(WinHttpConnect(m_session.get(), host.c_str(), parts.nPort, 0),
                                WinHttpCloseHandle);
        const Handle request(
            connection ? WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.nScheme == INTERNET_SCHEME_HTTPS
                                                ? WINHTTP_FLAG_SECURE
                                                : 0)
                       : nullptr,
            WinHttpCloseHandle);
        if (!request) {
            return PostAnswer::None(Failure("connecting"));
        }
        std::wstring headers = L"Content-Type: text/plain; charset=utf-8\r\n";
        if (!token.empty()) {
            headers += L"Authorization: Token " + WideFromUtf8(token) + L"\r\n";
        }
        const DWORD size = static_cast<DWORD>(body.size());
        if (!WinHttpSendRequest(request.get(), headers.c_str(), ~DWORD{0},
                                const_cast<char*>(body.data()), size, size, 0) ||
            !WinHttpReceiveResponse(request.get(), nullptr)) {
            return PostAnswer::None(Failure("sending"));
        }
        DWORD status = 0;
        DWORD statusSize = sizeof status;
        WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX);
        return {"", static_cast<long>(status), ReadAnswer(request.get())};
    }

  private:
    const Handle m_session;  // the output's thread's
};

}  // namespace

std::unique_ptr<HttpPost> MakeHttpPost() {
    return std::make_unique<WinHttpPost>();
}

}  // namespace cyclara::logger
