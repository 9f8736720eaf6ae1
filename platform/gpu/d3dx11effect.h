// The effect framework stand-in: techniques and passes by name, variables by
// name. Unknown names give a null object whose calls fail harmlessly, so a
// caller never has to test for null. Effects are read from our own small
// text format (see effect.cpp); anything else fails to load.
#pragma once

#include "platform/gpu/d3d11.h"

struct ID3DX11EffectPass;
struct ID3DX11EffectMatrixVariable;
struct ID3DX11EffectShaderResourceVariable;
struct ID3DX11EffectScalarVariable;

struct D3DX11_TECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

struct D3DX11_PASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    const BYTE* pIAInputSignature;
    SIZE_T IAInputSignatureSize;
    UINT StencilRef;
    UINT SampleMask;
    FLOAT BlendFactor[4];
};

struct ID3DX11EffectVariable {
    virtual BOOL IsValid() = 0;
    virtual ID3DX11EffectMatrixVariable* AsMatrix() = 0;
    virtual ID3DX11EffectShaderResourceVariable* AsShaderResource() = 0;
    virtual ID3DX11EffectScalarVariable* AsScalar() = 0;
    // Copies count bytes into the variable's value from byte offset on.
    virtual HRESULT SetRawValue(const void* data, UINT offset, UINT count) = 0;
    // Copies count bytes of the variable's value from byte offset on.
    virtual HRESULT GetRawValue(void* data, UINT offset, UINT count) = 0;

protected:
    virtual ~ID3DX11EffectVariable() = default;
};

struct ID3DX11EffectMatrixVariable : ID3DX11EffectVariable {
    virtual HRESULT SetMatrix(const float* matrix) = 0;
};

struct ID3DX11EffectShaderResourceVariable : ID3DX11EffectVariable {
    virtual HRESULT SetResource(ID3D11ShaderResourceView* view) = 0;
};

struct ID3DX11EffectScalarVariable : ID3DX11EffectVariable {
    virtual HRESULT SetFloat(float value) = 0;
    virtual HRESULT SetInt(int value) = 0;
};

struct ID3DX11EffectPass {
    virtual BOOL IsValid() = 0;
    virtual HRESULT GetDesc(D3DX11_PASS_DESC* desc) = 0;
    // Binds the pass's pixel work and the effect's current variable values.
    virtual HRESULT Apply(UINT flags, ID3D11DeviceContext* context) = 0;

protected:
    virtual ~ID3DX11EffectPass() = default;
};

struct ID3DX11EffectTechnique {
    virtual BOOL IsValid() = 0;
    virtual HRESULT GetDesc(D3DX11_TECHNIQUE_DESC* desc) = 0;
    virtual ID3DX11EffectPass* GetPassByIndex(UINT index) = 0;
    virtual ID3DX11EffectPass* GetPassByName(LPCSTR name) = 0;

protected:
    virtual ~ID3DX11EffectTechnique() = default;
};

struct ID3DX11Effect : IUnknown {
    virtual BOOL IsValid() = 0;
    virtual ID3DX11EffectTechnique* GetTechniqueByName(LPCSTR name) = 0;
    virtual ID3DX11EffectVariable* GetVariableByName(LPCSTR name) = 0;
};

HRESULT D3DX11CreateEffectFromMemory(const void* data, SIZE_T length, UINT flags, ID3D11Device* device,
                                     ID3DX11Effect** effect);
