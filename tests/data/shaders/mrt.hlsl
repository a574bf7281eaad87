// Four float targets written at once.
float4 Values[4];

float4 vs_main(float4 pos : POSITION) : POSITION
{
    return pos;
}

struct PS_OUT {
    float4 c0 : COLOR0;
    float4 c1 : COLOR1;
    float4 c2 : COLOR2;
    float4 c3 : COLOR3;
};

PS_OUT ps_main()
{
    PS_OUT o;
    o.c0 = Values[0];
    o.c1 = Values[1];
    o.c2 = Values[2];
    o.c3 = Values[3];
    return o;
}
