// The two terms texts, read the way a reader of the Terms page meets them: a title, nine articles
// each opened by a "--- heading ---" line, and a closing "---" line.

#include "ui/text/terms_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

namespace {

using namespace Velmora;

struct Article {
    std::wstring heading; // between the markers, trimmed
    int number = 0;       // the first number in the heading
    std::vector<std::wstring> body;
};

struct ParsedTerms {
    std::vector<std::wstring> preamble;
    std::vector<Article> articles;
    bool closed = false;         // the last line is the closing marker
    bool textAfterClose = false; // anything follows the closing marker
    std::vector<std::wstring> malformed;
};

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(L'\n', start);
        lines.emplace_back(text.substr(start, end == std::wstring_view::npos ? end : end - start));
        if (end == std::wstring_view::npos) {
            return lines;
        }
        start = end + 1;
    }
}

int FirstNumber(std::wstring_view text) {
    const auto digit =
        std::find_if(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    int number = 0;
    for (auto c = digit; c != text.end() && *c >= L'0' && *c <= L'9'; ++c) {
        number = number * 10 + (*c - L'0');
    }
    return number;
}

ParsedTerms Parse(std::wstring_view text) {
    ParsedTerms terms;
    const std::wstring_view marker = L"---";
    for (const std::wstring& line : SplitLines(text)) {
        if (terms.closed) {
            terms.textAfterClose = true;
        } else if (line == marker) {
            terms.closed = true;
        } else if (line.starts_with(marker)) {
            const bool wellFormed = line.size() > 8 && line.starts_with(L"--- ") && line.ends_with(L" ---") &&
                                    line[4] != L' ' && line[line.size() - 5] != L' ';
            if (!wellFormed) {
                terms.malformed.push_back(line);
                continue;
            }
            Article article;
            article.heading = line.substr(4, line.size() - 8);
            article.number = FirstNumber(article.heading);
            terms.articles.push_back(std::move(article));
        } else if (terms.articles.empty()) {
            terms.preamble.push_back(line);
        } else {
            terms.articles.back().body.push_back(line);
        }
    }
    return terms;
}

bool HasArabicLetter(std::wstring_view text) {
    return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x0621 && c <= 0x064A; });
}

bool IsBlank(const std::wstring& line) {
    return std::all_of(line.begin(), line.end(), [](wchar_t c) { return std::iswspace(c) != 0; });
}

std::size_t CountOf(std::wstring_view text, std::wstring_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::wstring_view::npos;
         at = text.find(what, at + what.size())) {
        ++count;
    }
    return count;
}

class TermsTextOfLanguage : public testing::TestWithParam<bool> { // true: Arabic
protected:
    [[nodiscard]] std::wstring_view Text() const {
        return GetParam() ? ArabicTermsText() : EnglishTermsText();
    }
};

TEST_P(TermsTextOfLanguage, HasATitleNineNumberedArticlesAndAClosingMarker) {
    const ParsedTerms terms = Parse(Text());
    EXPECT_TRUE(terms.malformed.empty()) << terms.malformed.size() << " marker lines are not headings";
    ASSERT_FALSE(terms.preamble.empty());
    EXPECT_FALSE(IsBlank(terms.preamble.front())) << "the text opens with its title";
    ASSERT_EQ(terms.articles.size(), 9U);
    for (std::size_t i = 0; i < terms.articles.size(); ++i) {
        const Article& article = terms.articles[i];
        EXPECT_EQ(article.number, static_cast<int>(i + 1)) << "heading " << i;
        const bool hasBody = std::any_of(article.body.begin(), article.body.end(),
                                         [](const std::wstring& line) { return !IsBlank(line); });
        EXPECT_TRUE(hasBody) << "article " << i + 1 << " is empty";
    }
    EXPECT_TRUE(terms.closed);
    EXPECT_FALSE(terms.textAfterClose);
}

TEST_P(TermsTextOfLanguage, EmphasisMarkersArePairedOnEachLine) {
    const std::wstring_view text = Text();
    EXPECT_GE(CountOf(text, L"**"), 2U);
    for (const std::wstring& line : SplitLines(text)) {
        EXPECT_EQ(CountOf(line, L"**") % 2, 0U)
            << "unpaired emphasis in a line of " << line.size() << " characters";
    }
}

TEST_P(TermsTextOfLanguage, IsPlainTextInItsOwnLanguage) {
    const std::wstring_view text = Text();
    EXPECT_EQ(text.find(L'\r'), std::wstring_view::npos);
    EXPECT_EQ(text.find(L'\t'), std::wstring_view::npos);
    EXPECT_EQ(text.find(L'\0'), std::wstring_view::npos);
    EXPECT_GT(text.size(), 3000U);
    const ParsedTerms terms = Parse(text);
    for (const Article& article : terms.articles) {
        EXPECT_EQ(HasArabicLetter(article.heading), GetParam()) << article.number;
        for (const std::wstring& line : article.body) {
            if (!IsBlank(line)) {
                EXPECT_EQ(HasArabicLetter(line), GetParam()) << "article " << article.number;
            }
        }
    }
}

std::string LanguageName(const testing::TestParamInfo<bool>& language) {
    return language.param ? "Arabic" : "English";
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, TermsTextOfLanguage, testing::Values(true, false), LanguageName);

TEST(TermsTextLanguage, ArabicForZeroEnglishOtherwise) {
    EXPECT_EQ(TermsText(0), ArabicTermsText());
    for (const std::int32_t language : {1, 2, -1}) {
        EXPECT_EQ(TermsText(language), EnglishTermsText()) << language;
    }
    EXPECT_NE(ArabicTermsText(), EnglishTermsText());
}

} // namespace
