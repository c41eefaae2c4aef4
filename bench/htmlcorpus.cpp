#include "htmlcorpus.h"

#include <cstdio>
#include <random>
#include <sys/resource.h>

namespace {

const char *const kWords[] = {"link",   "checker", "page",   "the",  "of",
                              "report", "server",  "anchor", "text", "and",
                              "a",      "with",    "for",    "site", "index"};

std::string Words(std::mt19937 &random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        text += kWords[random() % (sizeof kWords / sizeof *kWords)];
    }
    return text;
}

std::string Block(std::mt19937 &random, int serial, bool sparseLinks)
{
    std::string html;
    const unsigned kind = random() % 8;
    switch (sparseLinks && serial % 1000 != 0 ? (kind % 2 == 0 ? 0 : 5) : kind) {
    case 0:
        html = "<p>" + Words(random, 40) + "</p>\n";
        break;
    case 1:
        html = "<li><a href=\"http://www.example" + std::to_string(serial % 500) + ".com/dir/page" +
               std::to_string(serial) + ".html?q=1#top\">" + Words(random, 4) + "</a></li>\n";
        break;
    case 2:
        html = "<A HREF=\"FTP://ftp.example.org/pub/file" + std::to_string(serial) +
               ".tar.gz\" TARGET=\"_blank\">" + Words(random, 2) + "</A>\n";
        break;
    case 3:
        html = "<a href=\"relative/page" + std::to_string(serial) + ".html\">" + Words(random, 3) +
               "</a> <img src=\"images/pic.png\" alt=\"" + Words(random, 2) + "\">\n";
        break;
    case 4:
        html = "<table><tr><td class=\"cell\">" + Words(random, 8) +
               "</td><td><a href=\"https://secure.example.net/\">secure</a></td></tr></table>\n";
        break;
    case 5:
        html = "<div style=\"margin: 0; padding: 1em\">" + Words(random, 150) + "</div>\n";
        break;
    case 6:
        html = "<a href=\"http://img.example.com/" + std::to_string(serial) +
               "\"><img src=\"thumb.jpg\" width=\"100\"></a><address>webmaster</address>\n";
        break;
    default:
        html = "<script>var x = \"http://tracker.example.com/\" + 1;</script>\n";
        break;
    }
    return html;
}

} // namespace

std::string WriteHtmlCorpus(const std::string &directory, std::size_t bytes, bool sparseLinks)
{
    const std::string path = directory + "/corpus.html";
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return {};
    std::mt19937 random(7);
    std::size_t written = 0;
    std::fputs("<html><head><title>Corpus</title></head><body>\n", file);
    for (int serial = 0; written < bytes; ++serial) {
        const std::string block = Block(random, serial, sparseLinks);
        std::fwrite(block.data(), 1, block.size(), file);
        written += block.size();
    }
    std::fputs("</body></html>\n", file);
    std::fclose(file);
    return path;
}

long PeakResidentKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
