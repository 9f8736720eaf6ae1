// Matrix helpers of the D3DX10 and XNA-math stand-ins (row vectors, left-handed).
#include "platform/gpu/d3dx10math.h"

#include <cmath>
#include <cstring>

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    std::memset(out->m, 0, sizeof(out->m));
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z)
{
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle)
{
    float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    D3DXMatrixIdentity(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zNear, FLOAT zFar)
{
    double yScale = 1.0 / std::tan(static_cast<double>(fovY) / 2.0);
    double xScale = yScale / aspect;
    std::memset(out->m, 0, sizeof(out->m));
    out->_11 = static_cast<float>(xScale);
    out->_22 = static_cast<float>(yScale);
    out->_33 = zFar / (zFar - zNear);
    out->_34 = 1.0f;
    out->_43 = -zNear * zFar / (zFar - zNear);
    return out;
}

static D3DXVECTOR3 Normalised(D3DXVECTOR3 v)
{
    double len = std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                           static_cast<double>(v.z) * v.z);
    if (len == 0.0)
        return v;
    return {static_cast<float>(v.x / len), static_cast<float>(v.y / len), static_cast<float>(v.z / len)};
}

static D3DXVECTOR3 Cross(D3DXVECTOR3 a, D3DXVECTOR3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

static float Dot(D3DXVECTOR3 a, D3DXVECTOR3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up)
{
    D3DXVECTOR3 z = Normalised({at->x - eye->x, at->y - eye->y, at->z - eye->z});
    D3DXVECTOR3 x = Normalised(Cross(*up, z));
    D3DXVECTOR3 y = Cross(z, x);
    D3DXMatrixIdentity(out);
    out->_11 = x.x;
    out->_21 = x.y;
    out->_31 = x.z;
    out->_12 = y.x;
    out->_22 = y.y;
    out->_32 = y.z;
    out->_13 = z.x;
    out->_23 = z.y;
    out->_33 = z.z;
    out->_41 = -Dot(x, *eye);
    out->_42 = -Dot(y, *eye);
    out->_43 = -Dot(z, *eye);
    return out;
}

static void Multiply4(float out[4][4], const float a[4][4], const float b[4][4])
{
    float r[4][4];
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
    std::memcpy(out, r, sizeof(r));
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b)
{
    Multiply4(out->m, a->m, b->m);
    return out;
}

XMMATRIX XMMatrixOrthographicOffCenterLH(FLOAT left, FLOAT right, FLOAT bottom, FLOAT top, FLOAT zNear,
                                         FLOAT zFar)
{
    XMMATRIX r{};
    r.m[0][0] = 2.0f / (right - left);
    r.m[1][1] = 2.0f / (top - bottom);
    r.m[2][2] = 1.0f / (zFar - zNear);
    r.m[3][0] = (left + right) / (left - right);
    r.m[3][1] = (top + bottom) / (bottom - top);
    r.m[3][2] = zNear / (zNear - zFar);
    r.m[3][3] = 1.0f;
    return r;
}

XMMATRIX XMMatrixTranslation(FLOAT x, FLOAT y, FLOAT z)
{
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, x, y, z);
    XMMATRIX r;
    std::memcpy(r.m, t.m, sizeof(r.m));
    return r;
}

XMMATRIX XMMatrixRotationZ(FLOAT angle)
{
    D3DXMATRIX t;
    D3DXMatrixRotationZ(&t, angle);
    XMMATRIX r;
    std::memcpy(r.m, t.m, sizeof(r.m));
    return r;
}

XMMATRIX XMMatrixMultiply(const XMMATRIX& a, const XMMATRIX& b)
{
    XMMATRIX r;
    Multiply4(r.m, a.m, b.m);
    return r;
}
