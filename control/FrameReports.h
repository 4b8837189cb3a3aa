#pragma once

#include "movie/MovieBody.h"
#include "platform/Types.h"

#include <optional>
#include <span>
#include <vector>

// The engine inside our control has no way to ask which frame the root
// timeline shows. So before a movie reaches it, every root frame of an
// ActionScript 1/2 movie gets one more action at its start: an FSCommand
// named FrameReportCommand whose argument is the frame's number, counted
// from 0. The control takes these for itself and never passes them on.
//
// Movies it cannot rewrite (ActionScript 3, LZMA-compressed, damaged) come
// back as nothing and are played as they are, without frame reports.

inline constexpr const char* FrameReportCommand = "quorvel:frame";

// The rewritten movie without a copy of it: in order, runs of the movie's
// body (decoded when it was compressed: the plan then owns that) and the
// bytes made for it (the header, the reports). A large stored movie is
// served from its file's pages this way, with only the reports beside it.
class CFrameReportPlan {
public:
    struct Piece {
        bool made { false }; // from MadeBytes() rather than Body()
        std::size_t offset { 0 };
        std::size_t length { 0 };
    };

    CFrameReportPlan(CMovieBody body, std::vector<BYTE> made, std::vector<Piece> pieces);

    std::span<const BYTE> Body() const { return m_body.Bytes(); }
    std::span<const BYTE> MadeBytes() const { return m_made; }
    const std::vector<Piece>& Pieces() const { return m_pieces; }
    std::span<const BYTE> BytesOf(const Piece& piece) const;
    std::size_t Size() const;

private:
    CMovieBody m_body;
    std::vector<BYTE> m_made {};
    std::vector<Piece> m_pieces {};
};

// `movie` must outlive the plan when it is stored (not compressed).
std::optional<CFrameReportPlan> PlanFrameReports(std::span<const BYTE> movie);
// The plan's pieces in one buffer.
std::optional<std::vector<BYTE>> AddFrameReports(std::span<const BYTE> movie);
