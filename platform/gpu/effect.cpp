// The effect framework stand-in and its file format. An effect file is text:
//
//   tvl-effect 1
//   variable <name> matrix|texture|float|int|float4
//   technique <name>
//   pass <name> input <SEMANTIC,...> pixel colour|textured|dashed|terrain
//        blend over|over-straight [sampler linear|point] [dash <on> <off>]
//
// one statement a line, '#' starts a comment. A pass belongs to the technique
// above it. The first matrix variable is the vertex transform and the first
// texture variable the one the pixel programs sample. Anything else (another
// format, an unknown word, a technique without passes) fails to load.
#include "platform/gpu/d3dx11effect.h"
#include "platform/gpu/gpu_objects.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>

namespace {

constexpr SIZE_T kMaxEffectBytes = 1u << 20;
constexpr size_t kMaxNames = 128;
constexpr size_t kMaxPasses = 8;

enum class VarKind { None, Matrix, Texture, Float, Int, Float4 };

// One class serves every kind; As* hands out the null variable for the wrong
// kind, so misuse fails harmlessly as the framework does.
class EffectVariable final : public ID3DX11EffectMatrixVariable,
                             public ID3DX11EffectShaderResourceVariable,
                             public ID3DX11EffectScalarVariable {
public:
    EffectVariable(std::string name, VarKind kind) : name_(std::move(name)), kind_(kind)
    {
        if (kind == VarKind::Matrix) {
            float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
            std::memcpy(raw_, identity, sizeof(identity));
        }
    }
    ~EffectVariable() override { SafeRelease(view_); }

    static EffectVariable* Null()
    {
        static EffectVariable null("", VarKind::None);
        return &null;
    }

    ID3DX11EffectVariable* AsBase() { return static_cast<ID3DX11EffectMatrixVariable*>(this); }

    BOOL IsValid() override { return kind_ != VarKind::None; }
    ID3DX11EffectMatrixVariable* AsMatrix() override { return kind_ == VarKind::Matrix ? this : Null(); }
    ID3DX11EffectShaderResourceVariable* AsShaderResource() override
    {
        return kind_ == VarKind::Texture ? this : Null();
    }
    ID3DX11EffectScalarVariable* AsScalar() override
    {
        return (kind_ == VarKind::Float || kind_ == VarKind::Int) ? this : Null();
    }

    HRESULT SetRawValue(const void* data, UINT offset, UINT count) override
    {
        UINT size = Size();
        if (!data || size == 0 || offset > size || count > size - offset)
            return E_INVALIDARG;
        std::memcpy(raw_ + offset, data, count);
        return S_OK;
    }

    HRESULT GetRawValue(void* data, UINT offset, UINT count) override
    {
        UINT size = Size();
        if (!data || size == 0 || offset > size || count > size - offset)
            return E_INVALIDARG;
        std::memcpy(data, raw_ + offset, count);
        return S_OK;
    }

    HRESULT SetMatrix(const float* matrix) override
    {
        if (kind_ != VarKind::Matrix || !matrix)
            return E_FAIL;
        std::memcpy(raw_, matrix, 64);
        return S_OK;
    }

    HRESULT SetResource(ID3D11ShaderResourceView* view) override
    {
        if (kind_ != VarKind::Texture)
            return E_FAIL;
        Rebind(view_, view);
        return S_OK;
    }

    HRESULT SetFloat(float value) override
    {
        if (kind_ == VarKind::Float)
            std::memcpy(raw_, &value, 4);
        else if (kind_ == VarKind::Int)
            return SetInt(static_cast<int>(value));
        else
            return E_FAIL;
        return S_OK;
    }

    HRESULT SetInt(int value) override
    {
        if (kind_ == VarKind::Int)
            std::memcpy(raw_, &value, 4);
        else if (kind_ == VarKind::Float)
            return SetFloat(static_cast<float>(value));
        else
            return E_FAIL;
        return S_OK;
    }

    float Float() const
    {
        float f;
        std::memcpy(&f, raw_, 4);
        return f;
    }
    int Int() const
    {
        int i;
        std::memcpy(&i, raw_, 4);
        return i;
    }

    UINT Size() const
    {
        switch (kind_) {
        case VarKind::Matrix:
            return 64;
        case VarKind::Float4:
            return 16;
        case VarKind::Float:
        case VarKind::Int:
            return 4;
        default:
            return 0;
        }
    }

    std::string name_;
    VarKind kind_;
    uint8_t raw_[64] = {};
    ID3D11ShaderResourceView* view_ = nullptr;
};

class Effect;

class EffectPass final : public ID3DX11EffectPass {
public:
    EffectPass(Effect* effect, std::string technique, std::string name, std::string signature, PassState state)
        : effect_(effect), technique_(std::move(technique)), name_(std::move(name)),
          signature_(std::move(signature)), state_(state)
    {
    }

    static EffectPass* Null()
    {
        static EffectPass null(nullptr, "", "", "", PassState{});
        return &null;
    }

    BOOL IsValid() override { return effect_ != nullptr; }
    HRESULT GetDesc(D3DX11_PASS_DESC* desc) override;
    HRESULT Apply(UINT flags, ID3D11DeviceContext* context) override;
    const std::string& Name() const { return name_; }

private:
    Effect* effect_;
    std::string technique_, name_, signature_;
    PassState state_;
};

class EffectTechnique final : public ID3DX11EffectTechnique {
public:
    explicit EffectTechnique(std::string name) : name_(std::move(name)) {}

    static EffectTechnique* Null()
    {
        static EffectTechnique null("");
        return &null;
    }

    BOOL IsValid() override { return !name_.empty(); }
    HRESULT GetDesc(D3DX11_TECHNIQUE_DESC* desc) override
    {
        if (!desc || !IsValid())
            return E_FAIL;
        desc->Name = name_.c_str();
        desc->Passes = static_cast<UINT>(passes_.size());
        desc->Annotations = 0;
        return S_OK;
    }
    ID3DX11EffectPass* GetPassByIndex(UINT index) override
    {
        return index < passes_.size() ? passes_[index].get() : EffectPass::Null();
    }
    ID3DX11EffectPass* GetPassByName(LPCSTR name) override
    {
        for (auto& p : passes_)
            if (name && p->Name() == name)
                return p.get();
        return EffectPass::Null();
    }

    std::string name_;
    std::vector<std::unique_ptr<EffectPass>> passes_;
};

class Effect final : public RefCounted<ID3DX11Effect> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        return AnswerQuery<ID3DX11Effect>(this, riid, object, {IID_IUnknown});
    }

    BOOL IsValid() override { return TRUE; }

    ID3DX11EffectTechnique* GetTechniqueByName(LPCSTR name) override
    {
        for (auto& t : techniques_)
            if (name && t->name_ == name)
                return t.get();
        return EffectTechnique::Null();
    }

    ID3DX11EffectVariable* GetVariableByName(LPCSTR name) override
    {
        EffectVariable* v = Find(name);
        return v ? v->AsBase() : EffectVariable::Null()->AsBase();
    }

    EffectVariable* Find(const char* name)
    {
        for (auto& v : variables_)
            if (name && v->name_ == name)
                return v.get();
        return nullptr;
    }

    // The values a pass hands to the context when it is applied.
    void Collect(AppliedPass& out)
    {
        const Slots& slots = ResolvedSlots();
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const void* matrix = slots.matrix ? static_cast<const void*>(slots.matrix->raw_) : identity;
        std::memcpy(out.matrix, matrix, sizeof(identity));
        out.texture = slots.texture ? slots.texture->view_ : nullptr;
        TerrainConstants& t = out.terrain;
        float* floats[kFloatCount] = {&t.altitude, &t.blendfactor, &t.brightness, &t.uextern,
                                      &t.vextern,  &t.uoff,        &t.voff,       &t.cosb};
        for (int k = 0; k < kFloatCount; k++)
            if (EffectVariable* v = slots.floats[k]; v && v->kind_ == VarKind::Float)
                *floats[k] = v->Float();
        int* ints[kIntCount] = {&t.mode, &t.warn, &t.zerolimit, &t.factor};
        for (int k = 0; k < kIntCount; k++)
            if (EffectVariable* v = slots.ints[k]; v && v->kind_ == VarKind::Int)
                *ints[k] = v->Int();
        for (int k = 0; k < 4; k++)
            if (EffectVariable* v = slots.colours[k]; v && v->kind_ == VarKind::Float4)
                std::memcpy(t.color[k], v->raw_, 16);
    }

    std::vector<std::unique_ptr<EffectTechnique>> techniques_;
    std::vector<std::unique_ptr<EffectVariable>> variables_;

private:
    static constexpr int kFloatCount = 8, kIntCount = 4;

    // The variables Collect reads, found by name once: every draw applies a
    // pass, and looking up sixteen names each time showed in profiles.
    struct Slots {
        EffectVariable* matrix = nullptr;  // the first matrix
        EffectVariable* texture = nullptr; // the first texture
        EffectVariable* floats[kFloatCount] = {};
        EffectVariable* ints[kIntCount] = {};
        EffectVariable* colours[4] = {};
    };
    Slots slots_;
    size_t slotsFor_ = SIZE_MAX; // the variable count slots_ was found for

    const Slots& ResolvedSlots()
    {
        if (slotsFor_ == variables_.size())
            return slots_;
        Slots s;
        for (auto& v : variables_) {
            if (v->kind_ == VarKind::Matrix && !s.matrix)
                s.matrix = v.get();
            else if (v->kind_ == VarKind::Texture && !s.texture)
                s.texture = v.get();
        }
        const char* floats[kFloatCount] = {"altitude", "blendfactor", "brightness", "uextern",
                                           "vextern",  "uoff",        "voff",       "cosb"};
        for (int k = 0; k < kFloatCount; k++)
            s.floats[k] = Find(floats[k]);
        const char* ints[kIntCount] = {"mode", "warn", "zerolimit", "factor"};
        for (int k = 0; k < kIntCount; k++)
            s.ints[k] = Find(ints[k]);
        const char* colours[4] = {"color1", "color2", "color3", "color4"};
        for (int k = 0; k < 4; k++)
            s.colours[k] = Find(colours[k]);
        slots_ = s;
        slotsFor_ = variables_.size();
        return slots_;
    }

public:
};

HRESULT EffectPass::GetDesc(D3DX11_PASS_DESC* desc)
{
    if (!desc || !effect_)
        return E_FAIL;
    *desc = {};
    desc->Name = name_.c_str();
    desc->pIAInputSignature = reinterpret_cast<const BYTE*>(signature_.c_str());
    desc->IAInputSignatureSize = signature_.size();
    desc->SampleMask = 0xFFFFFFFFu;
    return S_OK;
}

HRESULT EffectPass::Apply(UINT, ID3D11DeviceContext* context)
{
    if (!effect_ || !context)
        return E_FAIL;
    AppliedPass applied;
    applied.state = state_;
    applied.technique = technique_;
    effect_->Collect(applied);
    return GpuApplyPass(context, applied);
}

// ---- the file format --------------------------------------------------------

bool ValidName(const std::string& s)
{
    if (s.empty() || s.size() > 63)
        return false;
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    return true;
}

bool ParseVarKind(const std::string& s, VarKind* kind)
{
    static const struct {
        const char* word;
        VarKind kind;
    } kinds[] = {{"matrix", VarKind::Matrix}, {"texture", VarKind::Texture}, {"float", VarKind::Float},
                 {"int", VarKind::Int},       {"float4", VarKind::Float4}};
    for (auto& k : kinds)
        if (s == k.word) {
            *kind = k.kind;
            return true;
        }
    return false;
}

bool ParseNumber(const std::string& s, float* out)
{
    char* end = nullptr;
    float v = std::strtof(s.c_str(), &end);
    if (s.empty() || *end != '\0' || !(v >= 0.0f) || v > 1.0e6f)
        return false;
    *out = v;
    return true;
}

// "pass <name> input ... pixel ... blend ... [sampler ...] [dash on off]"
bool ParsePass(std::istringstream& words, std::string* name, std::string* signature, PassState* state)
{
    if (!(words >> *name) || !ValidName(*name))
        return false;
    bool havePixel = false, haveBlend = false;
    std::string key;
    while (words >> key) {
        std::string value;
        if (!(words >> value))
            return false;
        if (key == "input") {
            *signature = value;
        } else if (key == "pixel") {
            havePixel = true;
            if (value == "colour")
                state->program = PixelProgram::Colour;
            else if (value == "textured")
                state->program = PixelProgram::Textured;
            else if (value == "dashed")
                state->program = PixelProgram::Dashed;
            else if (value == "terrain")
                state->program = PixelProgram::Terrain;
            else
                return false;
        } else if (key == "blend") {
            haveBlend = true;
            if (value == "over")
                state->blend = BlendMode::Over;
            else if (value == "over-straight")
                state->blend = BlendMode::OverStraight;
            else
                return false;
        } else if (key == "sampler") {
            if (value == "linear")
                state->sampler = SamplerMode::Linear;
            else if (value == "point")
                state->sampler = SamplerMode::Point;
            else
                return false;
        } else if (key == "dash") {
            std::string off;
            if (!(words >> off) || !ParseNumber(value, &state->dashOn) || !ParseNumber(off, &state->dashOff))
                return false;
        } else {
            return false;
        }
    }
    return havePixel && haveBlend && !signature->empty();
}

bool ParseEffect(const char* text, size_t length, Effect* effect)
{
    std::string source(text, length);
    if (source.find('\0') != std::string::npos)
        return false;
    std::istringstream lines(source);
    std::string line;
    bool header = false;
    EffectTechnique* technique = nullptr;
    while (std::getline(lines, line)) {
        if (size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword))
            continue;
        if (!header) {
            std::string version, rest;
            if (keyword != "tvl-effect" || !(words >> version) || version != "1" || (words >> rest))
                return false;
            header = true;
            continue;
        }
        if (keyword == "variable") {
            std::string name, kind, rest;
            VarKind k;
            if (!(words >> name >> kind) || (words >> rest) || !ValidName(name) || !ParseVarKind(kind, &k) ||
                effect->Find(name.c_str()) || effect->variables_.size() >= kMaxNames)
                return false;
            effect->variables_.push_back(std::make_unique<EffectVariable>(name, k));
        } else if (keyword == "technique") {
            std::string name, rest;
            if (!(words >> name) || (words >> rest) || !ValidName(name) ||
                effect->GetTechniqueByName(name.c_str())->IsValid() || effect->techniques_.size() >= kMaxNames)
                return false;
            if (technique && technique->passes_.empty())
                return false;
            effect->techniques_.push_back(std::make_unique<EffectTechnique>(name));
            technique = effect->techniques_.back().get();
        } else if (keyword == "pass") {
            std::string name, signature;
            PassState state;
            if (!technique || technique->passes_.size() >= kMaxPasses || !ParsePass(words, &name, &signature, &state))
                return false;
            technique->passes_.push_back(
                std::make_unique<EffectPass>(effect, technique->name_, name, signature, state));
        } else {
            return false;
        }
    }
    return header && technique && !technique->passes_.empty();
}

} // namespace

HRESULT D3DX11CreateEffectFromMemory(const void* data, SIZE_T length, UINT flags, ID3D11Device* device,
                                     ID3DX11Effect** effect)
{
    (void)flags;
    if (effect)
        *effect = nullptr;
    if (!data || length == 0 || length > kMaxEffectBytes || !device || !effect)
        return E_INVALIDARG;
    auto* created = new Effect;
    if (!ParseEffect(static_cast<const char*>(data), length, created)) {
        created->Release();
        return E_FAIL;
    }
    *effect = created;
    return S_OK;
}
