/*
[TARV_BEGIN]
//config techniques : depth shadow
//TARV_PP:D:TEX_BUMP://texture 1 : Bump : srgb
//texture Map : wood.png : vertex clamp_v
//float4 X : 1,2 : both percent
//function vertexMain : vsX
//cflag FANCY
[TARV_END]
*/
