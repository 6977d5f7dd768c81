// JSON answers, read with nlohmann/json's event (SAX) interface: no document tree is built,
// so memory stays at one entry's texts and the path to the current value, and its parser keeps
// its own nesting on the heap, not on the stack.
#include "feed.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tessel {

namespace {

constexpr std::size_t kDeepest = 256;
constexpr std::size_t kTextMost = 16384; // as for XML feeds

using Json = nlohmann::json;

class JsonFeed : public nlohmann::json_sax<Json> {
public:
    JsonFeed(const FeedPlan &plan, FeedSink &sink) : plan_(plan), sink_(sink)
    {
        for (const FeedField &f : plan_.fields)
            slot_.push_back(textOf(f.field));
        found_.resize(plan_.fields.size());
    }

    bool listFound() const { return listFound_; }

    bool null() override { return scalar(nullptr); }
    bool boolean(bool value) override { return scalar(value ? "true" : "false"); }
    bool number_integer(number_integer_t value) override { return scalar(std::to_string(value)); }
    bool number_unsigned(number_unsigned_t value) override { return scalar(std::to_string(value)); }
    bool number_float(number_float_t, const string_t &text) override { return scalar(text); }
    bool string(string_t &value) override { return scalar(value); }
    bool binary(binary_t &) override { return scalar(nullptr); }

    bool start_object(std::size_t) override { return open(false); }
    bool start_array(std::size_t) override { return open(true); }
    bool key(string_t &name) override
    {
        frames_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &) override
    {
        return false;
    }

private:
    struct Frame {
        bool array;
        std::size_t index = 0;
        std::string key;
    };

    static FeedText textOf(ResultField f)
    {
        constexpr ResultField order[kFeedTexts] = {kTitle, kUrl, kPreview, kDate, kSize, kScore};
        for (int t = 0; t < kFeedTexts; ++t)
            if (order[t].offset == f.offset)
                return static_cast<FeedText>(t);
        return kFeedTitle;
    }

    // The step that names the value starting now, in the container it is in.
    std::string step()
    {
        Frame &f = frames_.back();
        return f.array ? std::to_string(f.index++) : f.key;
    }

    bool open(bool array)
    {
        if (frames_.size() >= kDeepest)
            return false;
        if (!frames_.empty())
            path_.push_back(step());
        frames_.push_back(Frame{array, 0, {}});
        if (array && entryDepth_ == 0 && !listFound_ && path_ == plan_.list) {
            listFound_ = true;
            listDepth_ = frames_.size();
        } else if (!array && listDepth_ > 0 && entryDepth_ == 0 &&
                   frames_.size() == listDepth_ + 1) {
            entryDepth_ = frames_.size();
            entry_ = FeedEntry();
            found_.assign(found_.size(), kNotFound);
        }
        return true;
    }

    bool close()
    {
        if (frames_.size() == entryDepth_) {
            sink_.add(entry_);
            entryDepth_ = 0;
        } else if (frames_.size() == listDepth_) {
            listDepth_ = 0; // only the first list of that path is read
        }
        frames_.pop_back();
        if (!path_.empty() && !frames_.empty())
            path_.pop_back();
        return true;
    }

    bool scalar(const std::string &value)
    {
        const std::string name = frames_.empty() ? std::string() : step();
        if (entryDepth_ == 0)
            return true;
        path_.push_back(name);
        take(value);
        path_.pop_back();
        return true;
    }
    bool scalar(std::nullptr_t)
    {
        if (!frames_.empty())
            step();
        return true;
    }

    // Whether the value's path, relative to the entry, is the alternative's path (whole: 1)
    // or one of the values of the array it names (2); 0 for neither.
    int fits(const std::vector<std::string> &steps) const
    {
        const std::size_t base = entryDepth_ - 1; // path_ steps before the entry's own
        const std::size_t have = path_.size() - base;
        if (have != steps.size() && have != steps.size() + 1)
            return 0;
        for (std::size_t i = 0; i < steps.size(); ++i)
            if (path_[base + i] != steps[i])
                return 0;
        if (have == steps.size())
            return 1;
        return frames_.back().array && frames_.size() == entryDepth_ + steps.size() ? 2 : 0;
    }

    // The first alternative that gives a value wins; values of an array are joined.
    void take(const std::string &value)
    {
        for (std::size_t f = 0; f < plan_.fields.size(); ++f) {
            const FeedField &field = plan_.fields[f];
            for (std::size_t a = 0; a < field.paths.size() && a <= found_[f]; ++a) {
                const int how = fits(field.paths[a]);
                if (how == 0)
                    continue;
                std::string &text = entry_.text[slot_[f]];
                if (a < found_[f] || how == 1)
                    text.clear();
                else if (!text.empty())
                    text += ", ";
                if (text.size() < kTextMost)
                    text.append(value, 0, kTextMost - text.size());
                entry_.html[slot_[f]] = field.html;
                found_[f] = a;
                break;
            }
        }
    }

    static constexpr std::size_t kNotFound = SIZE_MAX;

    const FeedPlan &plan_;
    FeedSink &sink_;
    std::vector<FeedText> slot_;     // the entry text each field of the plan fills
    std::vector<std::size_t> found_; // per field: the alternative that gave its value
    std::vector<Frame> frames_;
    std::vector<std::string> path_; // steps from the document to the current container
    bool listFound_ = false;
    std::size_t listDepth_ = 0;  // frames_ size inside the hit array; 0 outside it
    std::size_t entryDepth_ = 0; // frames_ size inside the entry being read; 0 outside
    FeedEntry entry_;
};

} // namespace

int32_t readJsonFeed(const FeedPlan &plan, const char *text, std::size_t length, FeedSink &sink)
{
    JsonFeed feed(plan, sink);
    try {
        Json::sax_parse(text, text + length, &feed);
    } catch (const std::exception &) {
        // The hits before the fault stay, as with any broken document.
    }
    return feed.listFound() ? sink.entries() : -1;
}

} // namespace tessel
