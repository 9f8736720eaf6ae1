// The matrix helpers of D3DX10 and the one XNA-math matrix the renderer uses,
// in the row-vector convention: a point p becomes p x M.
#pragma once

#include "platform/win32.h"

#define D3DX_PI 3.141592654f

struct D3DXVECTOR3 {
    FLOAT x, y, z;
};

struct D3DXMATRIX {
    union {
        struct {
            FLOAT _11, _12, _13, _14;
            FLOAT _21, _22, _23, _24;
            FLOAT _31, _32, _33, _34;
            FLOAT _41, _42, _43, _44;
        };
        FLOAT m[4][4];
    };
    operator FLOAT*() { return &_11; }
    operator const FLOAT*() const { return &_11; }
};

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zNear, FLOAT zFar);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
// out = a x b; out may be a or b.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);

struct XMMATRIX {
    FLOAT m[4][4];
};

XMMATRIX XMMatrixOrthographicOffCenterLH(FLOAT left, FLOAT right, FLOAT bottom, FLOAT top, FLOAT zNear,
                                         FLOAT zFar);
XMMATRIX XMMatrixTranslation(FLOAT x, FLOAT y, FLOAT z);
XMMATRIX XMMatrixRotationZ(FLOAT angle);
XMMATRIX XMMatrixMultiply(const XMMATRIX& a, const XMMATRIX& b);
