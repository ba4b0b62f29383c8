#include "terminal/session/http_request.h"

#include "terminal/core/text_util.h"

namespace ostrel {

std::string GenerateHttpRequest(std::string_view host) {
    std::string request;
    auto line = [&request](std::string_view text) {
        request += text;
        request += "\r\n";
    };
    line("GET / HTTP/1.0");
    line("Host: " + std::string(TrimBlanks(host)));
    line("Connection: close");
    line("User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; de; rv:1.9) Gecko/2008052906 "
         "Firefox/3.0");
    line("Accept-Encoding: gzip");
    line("Accept-Charset: ISO-8859-1,UTF-8;q=0.7,*;q=0.7");
    line("Cache-Control: no");
    line("Accept-Language: de,en;q=0.7,en-us;q=0.3");
    request += "\r\n";
    return request;
}

std::string RequestToBoxText(std::string_view request) {
    std::string out;
    out.reserve(request.size());
    for (std::size_t i = 0; i < request.size(); ++i) {
        if (request[i] == '\r') {
            out += '\n';
            if (i + 1 < request.size() && request[i + 1] == '\n') ++i;
        } else {
            out += request[i];
        }
    }
    return out;
}

std::string RequestFromBoxText(std::string_view boxText) {
    std::string out;
    out.reserve(boxText.size() + boxText.size() / 16);
    for (std::size_t i = 0; i < boxText.size(); ++i) {
        if (boxText[i] == '\n' && (i == 0 || boxText[i - 1] != '\r')) out += '\r';
        out += boxText[i];
    }
    return out;
}

}  // namespace ostrel
