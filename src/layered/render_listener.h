#pragma once

// Asked by a rendered child when the picture should be composed and pushed again.
struct IRenderListener {
    virtual ~IRenderListener() = default;
    virtual void OnRenderRequest(void* sender) = 0;
};
