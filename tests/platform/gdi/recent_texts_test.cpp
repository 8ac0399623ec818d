#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace {

using platform::gdi::RecentTexts;
using platform::gdi::TextRecord;

/// The policy of a font's table of texts, kept plainly: two generations of at most `limit`
/// texts; a text found in the older moves to the newer; when the newer is full, it becomes the
/// older and the older is forgotten.
class PlainRecentTexts {
public:
    explicit PlainRecentTexts(std::size_t limit) : m_limit(limit) {}
    TextRecord* Find(const std::string& text)
    {
        if (auto found = m_newer.find(text); found != m_newer.end()) return found->second;
        auto old = m_older.find(text);
        if (old == m_older.end()) return nullptr;
        TextRecord* record = old->second;
        m_older.erase(old);
        Keep(text, record);
        return record;
    }
    void Keep(const std::string& text, TextRecord* record)
    {
        if (m_newer.size() >= m_limit) {
            m_older = std::move(m_newer);
            m_newer.clear();
        }
        m_newer[text] = record;
    }

private:
    std::size_t m_limit;
    std::unordered_map<std::string, TextRecord*> m_newer, m_older;
};

}  // namespace

// Texts looked up and kept as a font does (kept after a lookup that found nothing), many more
// than a generation holds, short and long: the table finds exactly the records the plain
// policy finds, after every kind of move between its generations.
TEST(RecentTexts, FindsTheRecordsThePlainPolicyKeeps)
{
    for (std::size_t limit : {1, 2, 37, 200}) {
        SCOPED_TRACE(limit);
        RecentTexts texts(limit, std::size_t(1) << 40);
        PlainRecentTexts plain(limit);
        std::vector<std::shared_ptr<TextRecord>> made;  // every record stays alive: addresses stay unique
        std::mt19937 random(7);
        int found = 0;
        for (int step = 0; step < 20000; ++step) {
            const unsigned pick = random() % 400;
            // Numbers as a grid shows them, and texts past one and two words of eight bytes.
            std::string text = std::to_string(pick) + ".25";
            if (pick % 5 == 0) text += " and a longer tail";
            if (pick % 7 == 0) text = "e" + std::string(pick % 17, 'x');
            const std::shared_ptr<TextRecord> record = texts.Find(text);
            TextRecord* expected = plain.Find(text);
            ASSERT_EQ(record.get(), expected) << "step " << step << ": " << text;
            if (record) {
                ++found;
                EXPECT_EQ(record->text, text);
                continue;
            }
            auto fresh = std::make_shared<TextRecord>();
            fresh->text = text;
            made.push_back(fresh);
            texts.Keep(fresh);
            plain.Keep(text, fresh.get());
        }
        EXPECT_GT(found, 100);  // texts were found again
    }
}
