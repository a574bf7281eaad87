// CTaSceneNodeAnimatorCamera: the animator on the engine's camera that the scene viewer drives.
#pragma once

#include <irrlicht.h>

// It carries the move and rotate speeds and the mode the viewer sets; the viewer's ride and fly
// behaviours are added with the scene viewer, until then animating leaves the camera where the
// run mode puts it.
class CTaSceneNodeAnimatorCamera : public irr::scene::ISceneNodeAnimator
{
public:
    CTaSceneNodeAnimatorCamera(float moveSpeed, float rotateSpeed) : m_moveSpeed(moveSpeed), m_rotateSpeed(rotateSpeed) {}

    void animateNode(irr::scene::ISceneNode*, irr::u32) override {}
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode*, irr::scene::ISceneManager*) override
    {
        CTaSceneNodeAnimatorCamera* clone = new CTaSceneNodeAnimatorCamera(m_moveSpeed, m_rotateSpeed);
        clone->m_mode = m_mode;
        return clone;
    }

    void setMode(int mode) { m_mode = mode; }
    int getMode() const { return m_mode; }
    float getMoveSpeed() const { return m_moveSpeed; }
    float getRotateSpeed() const { return m_rotateSpeed; }
    void setMoveSpeed(float speed) { m_moveSpeed = speed; }
    float getJumpSpeed() const { return m_jumpSpeed; }
    void setJumpSpeed(float speed) { m_jumpSpeed = speed; }

private:
    float m_moveSpeed, m_rotateSpeed;
    float m_jumpSpeed = 0;
    int m_mode = 0;
};
