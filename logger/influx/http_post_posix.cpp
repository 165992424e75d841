#include "logger/influx/http_post.h"

#include <curl/curl.h>

#include <algorithm>

namespace cyclara::logger {

namespace {

size_t KeepAnswer(char* bytes, size_t size, size_t count, void* answer) {
    auto& kept = *static_cast<std::string*>(answer);
    kept.append(bytes, std::min(size * count, kShownAnswerBytes - std::min(kShownAnswerBytes,
                                                                            kept.size())));
    return size * count;
}

class CurlPost : public HttpPost {
  public:
    CurlPost() : m_curl(curl_easy_init()) {}
    ~CurlPost() override { curl_easy_cleanup(m_curl); }

    PostAnswer Post(const std::string& url, const std::string& token,
                    const std::string& body) override {
        if (m_curl == nullptr) {
            return PostAnswer::None("no HTTP client");
        }
        curl_slist* headers = nullptr;
        const std::string authorisation = "Authorization: Token " + token;
        if (!token.empty()) {
            headers = curl_slist_append(headers, authorisation.c_str());
        }
        headers = curl_slist_append(headers, "Content-Type: text/plain; charset=utf-8");
        curl_easy_reset(m_curl);
        curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, kRequestTimeoutSeconds);
        curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
        PostAnswer answer;
        curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &KeepAnswer);
        curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &answer.body);
        const CURLcode result = curl_easy_perform(m_curl);
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &answer.status);
        curl_slist_free_all(headers);
        if (result != CURLE_OK) {
            answer.failure = curl_easy_strerror(result);
        }
        return answer;
    }

  private:
    CURL* const m_curl;  // the output's thread's
};

}  // namespace

std::unique_ptr<HttpPost> MakeHttpPost() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    static_cast<void>(initialised);
    return std::make_unique<CurlPost>();
}

}  // namespace cyclara::logger
