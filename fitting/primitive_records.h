// Parameter records of the analytic primitives. The fitters and fit drivers
// write them; the shape model's plane, sphere and cylinder derive from them.
#pragma once

// An oriented plane patch.
template <class T> struct tPlane
{
    T normal[3] = {0, 0, 0}; // unit
    T origin[3] = {0, 0, 0}; // centre of the patch
    T xAxis[3] = {0, 0, 0};  // unit, in the plane; the y axis is normal x xAxis
    T halfWidth = 0;         // along the x axis
    T halfHeight = 0;        // along the y axis
    T d = 0;                 // offset: normal . p + d = 0 on the plane, d = -(normal . origin)
};

template <class T> struct tSphere
{
    T centre[3] = {0, 0, 0};
    T radius = 0;
};

// A finite cylinder from the centre of its bottom disc along its axis.
template <class T> struct tCylinder
{
    T axisPoint[3] = {0, 0, 0}; // centre of the bottom end disc
    T axis[3] = {0, 0, 0};      // unit
    T radius = 0;
    T height = 0; // from the axis point to the top end disc
};
