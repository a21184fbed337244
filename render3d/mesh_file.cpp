#include "render3d/mesh_file.hpp"

#include "core/numbers.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int32_t COORDINATE_BIAS = 65536; // a stored coordinate is the coordinate + this
constexpr uint32_t EDGE_COLOUR = 0x00FFFFFF;
constexpr int32_t MAX_CORNER_USES = 255; // the vertex normal pass counts uses in 8 bits

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Reader {
    std::FILE* file;
    int64_t bytes_read = 0;
    bool ended = false; // the file ran out (or could not be read) before a value was complete
    int error = 0;      // errno of a read that failed (a folder, an I/O error); 0 at end of file
};

// The next integer, assembled from four bytes least significant first; 0 once the file ended.
int32_t read_int32(Reader& in) {
    uint32_t value = 0;
    for (int shift = 0; shift < 32 && !in.ended; shift += 8) {
        const int byte = std::fgetc(in.file);
        if (byte == EOF) {
            in.ended = true;
            if (std::ferror(in.file)) in.error = errno;
        } else {
            value |= static_cast<uint32_t>(byte) << shift;
            ++in.bytes_read;
        }
    }
    return in.ended ? 0 : static_cast<int32_t>(value);
}

// (stored - 65536, wrapping) / scale in single precision, truncated toward zero. A quotient
// beyond the 32-bit range (only a scale of 1 or less gives one) saturates, the same on every CPU.
int32_t decode_coordinate(int32_t stored, float scale) {
    return trunc_saturating(static_cast<float>(wrap_sub(stored, COORDINATE_BIAS)) / scale);
}

int64_t file_size(const Mesh& m) {
    return 12 + 12 * int64_t{m.vertex_count} + 8 * int64_t{m.edge_count} +
           12 * int64_t{m.face_count};
}

std::string check_count(int32_t count, const char* what, int64_t limit) {
    const std::string declared = "declares " + std::to_string(count) + " " + what;
    if (count < 0) return declared + ", a negative count";
    if (count > limit)
        return declared + ", more than the " + std::to_string(limit) + " it may have";
    return "";
}

std::string read_header(Reader& in, Mesh& m) {
    m.vertex_count = read_int32(in);
    m.edge_count = read_int32(in);
    m.face_count = read_int32(in);
    if (in.ended) return "is shorter than its 12-byte header";
    std::string problem = check_count(m.vertex_count, "vertices", MESH_MAX_VERTICES);
    // Edges have no capacity of their own: only a negative count is refused.
    if (problem.empty()) problem = check_count(m.edge_count, "edges", INT32_MAX);
    if (problem.empty()) problem = check_count(m.face_count, "faces", MESH_MAX_FACES);
    return problem;
}

// Reads the three sections. Vertices and faces are bounded by the header check; edges are
// added as they are read, so a huge count in a short file allocates nothing large.
void read_sections(Reader& in, Mesh& m, float scale) {
    m.vertices.resize(m.vertex_count);
    for (Vertex& v : m.vertices) {
        v.x = decode_coordinate(read_int32(in), scale);
        v.y = decode_coordinate(read_int32(in), scale);
        v.z = decode_coordinate(read_int32(in), scale);
        v.tag = -1;
    }
    for (int32_t e = 0; e < m.edge_count && !in.ended; ++e) {
        const int32_t from = read_int32(in);
        const int32_t to = read_int32(in);
        m.edges.push_back({from, to, EDGE_COLOUR});
    }
    m.faces.resize(m.face_count);
    for (Face& f : m.faces)
        for (Corner& c : f.corners)
            c.vertex = read_int32(in);
}

std::string bad_vertex(const char* what, int32_t index, int32_t vertex, int32_t vertex_count) {
    return std::string(what) + " " + std::to_string(index) + " names vertex " +
           std::to_string(vertex) + ", but the file has " + std::to_string(vertex_count) +
           " vertices";
}

// The first edge or face naming a vertex outside the file, or a vertex named by too many
// face corners for its normal to be averaged; "" when there is none.
std::string check_indices(const Mesh& m) {
    const auto outside = [&](int32_t v) { return v < 0 || v >= m.vertex_count; };
    for (int32_t e = 0; e < m.edge_count; ++e) {
        const Edge& edge = m.edges[e];
        if (outside(edge.from)) return bad_vertex("edge", e, edge.from, m.vertex_count);
        if (outside(edge.to)) return bad_vertex("edge", e, edge.to, m.vertex_count);
    }
    std::vector<int32_t> uses(m.vertex_count, 0);
    for (int32_t f = 0; f < m.face_count; ++f) {
        for (const Corner& c : m.faces[f].corners) {
            if (outside(c.vertex)) return bad_vertex("face", f, c.vertex, m.vertex_count);
            if (++uses[c.vertex] > MAX_CORNER_USES)
                return "vertex " + std::to_string(c.vertex) + " is a corner of more than " +
                       std::to_string(MAX_CORNER_USES) + " faces";
        }
    }
    return "";
}

std::string read_mesh(Reader& in, Mesh& m, float scale) {
    std::string problem = read_header(in, m);
    if (problem.empty()) {
        read_sections(in, m, scale);
        if (in.ended)
            problem = "ends after " + std::to_string(in.bytes_read) +
                      " bytes, but its header needs " + std::to_string(file_size(m));
    }
    if (in.error != 0) return std::string("cannot read: ") + std::strerror(in.error);
    return problem.empty() ? check_indices(m) : problem;
}

} // namespace

std::string mesh_load_3do(const char* file_name, Mesh& mesh, int32_t flip, float scale) {
    const std::string name = file_name;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name, "rb"));
    if (!file) return name + ": cannot open: " + std::strerror(errno);
    Reader in{file.get()};
    Mesh loaded;
    const std::string problem = read_mesh(in, loaded, scale);
    if (!problem.empty()) return name + ": " + problem;

    mesh_face_normals(loaded, flip);
    mesh_vertex_normals(loaded);
    mesh.vertex_count = loaded.vertex_count;
    mesh.edge_count = loaded.edge_count;
    mesh.face_count = loaded.face_count;
    mesh.vertices = std::move(loaded.vertices);
    mesh.edges = std::move(loaded.edges);
    mesh.faces = std::move(loaded.faces);
    mesh.face_normals = std::move(loaded.face_normals);
    mesh.vertex_normals = std::move(loaded.vertex_normals);
    return "";
}
