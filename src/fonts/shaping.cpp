#include "fonts/shaping.h"

#include <hb-ot.h>
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

// Text is shaped in no particular language: HarfBuzz would take the process's locale, and the same
// document would come out differently on differently set up machines.
hb_language_t Language() {
    static const hb_language_t und = hb_language_from_string("und", -1);
    return und;
}

// HarfBuzz looks at most this many characters either side of a run.
constexpr int kContextChars = 5;

} // namespace

std::string BadFeature(std::string_view features) {
    std::vector<hb_feature_t> parsed;
    std::string bad;
    return ParseFeatures(features, parsed, &bad) ? std::string() : bad;
}

namespace {

// One call of the shaper over window[offset, offset + length), through the face's cache; the glyphs'
// clusters count from clusterBase.
struct TWindow {
    std::string_view Text;
    uint32_t Offset = 0, Length = 0;
    bool Rtl = false, Bot = false, Eot = false;
    uint32_t Script = 0;
    std::string_view Features;
};

// A key's bytes, kept from one lookup to the next: runs are looked up far more often than stored. Out of
// line: inlined, the compiler takes the thread's address afresh at each use of the key, and in a shared
// library each of those is a call into the dynamic linker.
[[gnu::noinline]] std::string& KeyScratch() {
    thread_local std::string key;
    return key;
}

void ShapeWindow(const TicFont& font, const TWindow& w, uint32_t clusterBase,
                 std::vector<TShapedGlyph>& out) {
    const TFontFace& face = *font.Face();
    std::string& key = KeyScratch();
    key.clear();
    const uint32_t head[] = {w.Offset, w.Length, w.Script,
                             uint32_t{w.Rtl} | uint32_t{w.Bot} << 1 | uint32_t{w.Eot} << 2};
    key.append(reinterpret_cast<const char*>(head), sizeof head);
    key.append(w.Features).push_back('\0');
    key.append(w.Text);

    const auto append = [&](const std::vector<TShapedGlyph>& glyphs) {
        const std::size_t first = out.size();
        out.insert(out.end(), glyphs.begin(), glyphs.end());
        for (std::size_t i = first; i < out.size(); ++i) out[i].Cluster += clusterBase;
    };
    TShapeCache& cache = font.Shapes();
    if (cache.Runs.Visit(key, append)) return;

    std::vector<hb_feature_t> features;
    ParseFeatures(w.Features, features, nullptr); // checked when they were set
    hb_font_t* hbFont = hb_font_create_sub_font(face.Font());
    hb_font_set_funcs(hbFont, OwnMapFuncs(), const_cast<TicFont*>(&font), nullptr);
    hb_buffer_t* buffer = hb_buffer_create();
    hb_buffer_add_utf8(buffer, w.Text.data(), static_cast<int>(w.Text.size()), w.Offset,
                       static_cast<int>(w.Length));
    hb_buffer_set_direction(buffer, w.Rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    if (w.Script != 0) hb_buffer_set_script(buffer, static_cast<hb_script_t>(w.Script));
    hb_buffer_set_language(buffer, Language());
    hb_buffer_set_flags(buffer, static_cast<hb_buffer_flags_t>((w.Bot ? HB_BUFFER_FLAG_BOT : 0) |
                                                               (w.Eot ? HB_BUFFER_FLAG_EOT : 0)));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(hbFont, buffer, features.data(), static_cast<unsigned>(features.size()));

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, nullptr);
    const double scale = 1000.0 / std::max<unsigned>(1, face.UnitsPerEm());
    std::vector<TShapedGlyph> glyphs(count);
    for (unsigned i = 0; i < count; ++i) {
        TShapedGlyph& g = glyphs[i];
        g.Glyph = infos[i].codepoint <= 0xFFFF ? static_cast<uint16_t>(infos[i].codepoint) : 0;
        g.Cluster = infos[i].cluster - w.Offset;
        g.Advance = static_cast<float>(positions[i].x_advance * scale);
        g.XOffset = static_cast<float>(positions[i].x_offset * scale);
        g.YOffset = static_cast<float>(positions[i].y_offset * scale);
        g.Nominal = static_cast<float>(NominalAdvance(font, g.Glyph));
    }
    hb_buffer_destroy(buffer);
    hb_font_destroy(hbFont);
    append(glyphs);

    const std::size_t bytes = key.size() + glyphs.size() * sizeof(TShapedGlyph) + 64;
    cache.Runs.Keep(key, std::move(glyphs), bytes);
}

// Scripts whose words shape alone: no joining or reordering reaches across a space.
bool WordsShapeAlone(uint32_t script) {
    return script == HB_SCRIPT_LATIN || script == HB_SCRIPT_GREEK || script == HB_SCRIPT_CYRILLIC ||
           script == HB_SCRIPT_COMMON;
}

// Whether no lookup that shaping in this script with these features applies sees the space glyph,
// so that a line shapes as its words do. Faces with the old kerning table or AAT tables, which
// the lookups do not show, are taken as seeing it.
bool SpaceIsInert(const TicFont& font, uint32_t script, std::string_view featureText) {
    const TFontFace& face = *font.Face();
    TShapeCache& cache = font.Shapes();
    std::string key(reinterpret_cast<const char*>(&script), sizeof script);
    key.append(featureText);
    bool known = false;
    if (cache.InertSpace.Visit(key, [&known](bool inert) { known = inert; })) return known;
    bool inert = !face.View().Has("morx") && !face.View().Has("kerx") &&
                 !(face.View().Has("kern") && !face.View().Has("GPOS"));
    hb_codepoint_t space = 0;
    if (inert && hb_font_get_nominal_glyph(face.Font(), ' ', &space)) {
        std::vector<hb_feature_t> features;
        ParseFeatures(featureText, features, nullptr);
        hb_segment_properties_t props = HB_SEGMENT_PROPERTIES_DEFAULT;
        props.direction = HB_DIRECTION_LTR;
        props.script = static_cast<hb_script_t>(script);
        props.language = Language();
        hb_shape_plan_t* plan = hb_shape_plan_create_cached(face.Face(), &props, features.data(),
                                                            static_cast<unsigned>(features.size()), nullptr);
        hb_set_t* lookups = hb_set_create();
        hb_set_t* sets[4];
        for (hb_set_t*& set : sets) set = hb_set_create();
        for (const hb_tag_t table : {HB_OT_TAG_GSUB, HB_OT_TAG_GPOS}) {
            hb_set_clear(lookups);
            hb_ot_shape_plan_collect_lookups(plan, table, lookups);
            for (hb_codepoint_t i = HB_SET_VALUE_INVALID; inert && hb_set_next(lookups, &i);) {
                for (hb_set_t* set : sets) hb_set_clear(set);
                hb_ot_layout_lookup_collect_glyphs(face.Face(), table, i, sets[0], sets[1], sets[2], sets[3]);
                for (hb_set_t* set : sets) inert = inert && !hb_set_has(set, space);
            }
        }
        for (hb_set_t* set : sets) hb_set_destroy(set);
        hb_set_destroy(lookups);
        hb_shape_plan_destroy(plan);
    }
    const std::size_t bytes = key.size() + 64;
    cache.InertSpace.Keep(std::move(key), inert, bytes);
    return inert;
}

} // namespace

void ShapeRun(const TicFont& font, const TShapeRun& run, std::vector<TShapedGlyph>& out) {
    const TFontFace* face = font.Face();
    if (!face || run.Length == 0) return;
    const std::string_view text = run.Context.substr(run.Start, run.Length);
    // Where no lookup of the font sees the space, a line shapes as its words do, and words repeat.
    if (!run.Rtl && WordsShapeAlone(run.Script) && text.find(' ') != std::string_view::npos &&
        SpaceIsInert(font, run.Script, run.Features)) {
        // Each word with the spaces after it.
        for (std::size_t i = 0; i < text.size();) {
            std::size_t end = i;
            while (end < text.size() && text[end] != ' ') ++end;
            while (end < text.size() && text[end] == ' ') ++end;
            TWindow w;
            w.Text = text.substr(i, end - i);
            w.Length = static_cast<uint32_t>(end - i);
            w.Script = run.Script;
            w.Features = run.Features;
            ShapeWindow(font, w, static_cast<uint32_t>(i), out);
            i = end;
        }
        return;
    }
    // Only the context HarfBuzz reads decides the shape, so only it goes into the key.
    std::size_t from = run.Start, to = run.Start + run.Length;
    for (int n = 0; n < kContextChars && from > 0; ++n) do
            --from;
        while (from > 0 && ContinuationByte(run.Context[from]));
    for (int n = 0; n < kContextChars && to < run.Context.size(); ++n) do
            ++to;
        while (to < run.Context.size() && ContinuationByte(run.Context[to]));
    TWindow w;
    w.Text = run.Context.substr(from, to - from);
    w.Offset = static_cast<uint32_t>(run.Start - from);
    w.Length = static_cast<uint32_t>(run.Length);
    w.Rtl = run.Rtl;
    w.Bot = run.Start == 0;
    w.Eot = run.Start + run.Length == run.Context.size();
    w.Script = run.Script;
    w.Features = run.Features;
    ShapeWindow(font, w, 0, out);
}

TCharProps CharProps(char32_t c) {
    TCharProps props;
    if (c < 0x80) { // no marks or format characters; letters are Latin
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        props.Script = letter ? HB_SCRIPT_LATIN : HB_SCRIPT_COMMON;
        return props;
    }
    hb_unicode_funcs_t* funcs = hb_unicode_funcs_get_default();
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
