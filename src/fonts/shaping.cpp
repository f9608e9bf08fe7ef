#include "fonts/shaping.h"

#include <hb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pagelith {

namespace {

// The characters HarfBuzz sees come through the font's own map, whichever way it was loaded.
hb_bool_t NominalGlyph(hb_font_t*, void* data, hb_codepoint_t c, hb_codepoint_t* glyph, void*) {
    *glyph = static_cast<const TicFont*>(data)->UnicodeMetric(c).Glyph;
    return *glyph != 0;
}

hb_font_funcs_t* OwnMapFuncs() {
    static hb_font_funcs_t* const funcs = [] {
        hb_font_funcs_t* f = hb_font_funcs_create();
        hb_font_funcs_set_nominal_glyph_func(f, NominalGlyph, nullptr, nullptr);
        hb_font_funcs_make_immutable(f);
        return f;
    }();
    return funcs;
}

// Reads "a,b c" as features; false at the first one HarfBuzz rejects, naming it.
bool ParseFeatures(std::string_view text, std::vector<hb_feature_t>& out, std::string* bad) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ',' || text[i] == ' ' || text[i] == '\t')) ++i;
        std::size_t end = i;
        while (end < text.size() && text[end] != ',' && text[end] != ' ' && text[end] != '\t') ++end;
        if (end == i) break;
        hb_feature_t feature;
        const std::string_view token = text.substr(i, end - i);
        // The syntax is ASCII; HarfBuzz would take other bytes into a quoted tag.
        const bool ascii =
            std::all_of(token.begin(), token.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
        if (!ascii || !hb_feature_from_string(token.data(), static_cast<int>(token.size()), &feature)) {
            if (bad) bad->assign(text.substr(i, end - i));
            return false;
        }
        out.push_back(feature);
        i = end;
    }
    return true;
}

bool ContinuationByte(char c) {
    return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

// HarfBuzz looks at most this many characters either side of a run.
constexpr int kContextChars = 5;

} // namespace

std::string BadFeature(std::string_view features) {
    std::vector<hb_feature_t> parsed;
    std::string bad;
    return ParseFeatures(features, parsed, &bad) ? std::string() : bad;
}

void ShapeRun(const TicFont& font, const TShapeRun& run, std::vector<TShapedGlyph>& out) {
    const TFontFace* face = font.Face();
    if (!face || run.Length == 0) return;
    // Only the context HarfBuzz reads decides the shape, so only it goes into the key.
    std::size_t from = run.Start, to = run.Start + run.Length;
    for (int n = 0; n < kContextChars && from > 0; ++n) do
            --from;
        while (from > 0 && ContinuationByte(run.Context[from]));
    for (int n = 0; n < kContextChars && to < run.Context.size(); ++n) do
            ++to;
        while (to < run.Context.size() && ContinuationByte(run.Context[to]));
    const std::string_view window = run.Context.substr(from, to - from);
    const uint32_t offset = static_cast<uint32_t>(run.Start - from);
    const bool bot = run.Start == 0, eot = run.Start + run.Length == run.Context.size();

    std::string key;
    key.reserve(window.size() + run.Features.size() + 24);
    const uint32_t head[] = {offset, static_cast<uint32_t>(run.Length), run.Script,
                             uint32_t{run.Rtl} | uint32_t{bot} << 1 | uint32_t{eot} << 2};
    key.append(reinterpret_cast<const char*>(head), sizeof head);
    key.append(run.Features).push_back('\0');
    key.append(window);

    TShapeCache& cache = face->Shapes();
    {
        const std::lock_guard<std::mutex> hold(cache.Lock);
        const auto it = cache.Runs.find(key);
        if (it != cache.Runs.end()) {
            out.insert(out.end(), it->second.begin(), it->second.end());
            return;
        }
    }

    std::vector<hb_feature_t> features;
    ParseFeatures(run.Features, features, nullptr); // checked when they were set
    hb_font_t* hbFont = hb_font_create_sub_font(face->Font());
    hb_font_set_funcs(hbFont, OwnMapFuncs(), const_cast<TicFont*>(&font), nullptr);
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, window.data(), static_cast<int>(window.size()), offset,
                       static_cast<int>(run.Length));
    hb_buffer_set_direction(buffer, run.Rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    if (run.Script != 0) hb_buffer_set_script(buffer, static_cast<hb_script_t>(run.Script));
    hb_buffer_set_flags(buffer, static_cast<hb_buffer_flags_t>((bot ? HB_BUFFER_FLAG_BOT : 0) |
                                                               (eot ? HB_BUFFER_FLAG_EOT : 0)));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(hbFont, buffer, features.data(), static_cast<unsigned>(features.size()));

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, nullptr);
    const double scale = 1000.0 / std::max<unsigned>(1, hb_face_get_upem(face->Face()));
    std::vector<TShapedGlyph> glyphs(count);
    for (unsigned i = 0; i < count; ++i) {
        TShapedGlyph& g = glyphs[i];
        g.Glyph = infos[i].codepoint <= 0xFFFF ? static_cast<uint16_t>(infos[i].codepoint) : 0;
        g.Cluster = infos[i].cluster - offset;
        g.Advance = static_cast<float>(positions[i].x_advance * scale);
        g.XOffset = static_cast<float>(positions[i].x_offset * scale);
        g.YOffset = static_cast<float>(positions[i].y_offset * scale);
    }
    hb_buffer_destroy(buffer);
    hb_font_destroy(hbFont);
    out.insert(out.end(), glyphs.begin(), glyphs.end());

    // A bounded cache: a document of many different lines starts it over rather than grow.
    constexpr std::size_t kCacheBytes = 16u << 20;
    const std::size_t bytes = key.size() + glyphs.size() * sizeof(TShapedGlyph) + 64;
    const std::lock_guard<std::mutex> hold(cache.Lock);
    if (cache.Bytes + bytes > kCacheBytes) {
        cache.Runs.clear();
        cache.Bytes = 0;
    }
    if (cache.Runs.emplace(std::move(key), std::move(glyphs)).second) cache.Bytes += bytes;
}

TCharProps CharProps(char32_t c) {
    hb_unicode_funcs_t* funcs = hb_unicode_funcs_get_default();
    TCharProps props;
    props.Script = hb_unicode_script(funcs, c);
    switch (hb_unicode_general_category(funcs, c)) {
    case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
    case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
        props.Mark = true;
        break;
    case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
        props.Format = true;
        break;
    default:
        break;
    }
    return props;
}

double NominalAdvance(const TicFont& font, uint16_t glyph) {
    const TFontFace* face = font.Face();
    if (!face) return font.GlyphWidth(glyph);
    // Three decimals: the file writes no more, and the pen follows what the file says.
    return std::round(face->Advance(glyph) * 1000.0 * 1000.0 / std::max<unsigned>(1, face->UnitsPerEm())) /
           1000.0;
}

} // namespace pagelith
