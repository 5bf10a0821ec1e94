-- Status of one client: 0 active, 1 offline, 2 never seen.
CREATE OR ALTER PROCEDURE dbo.sp_GetClientStatus @id int
AS
BEGIN
    SET NOCOUNT ON;
    SELECT id, name, status, lastSeen FROM dbo.APP_Client WHERE id = @id;
END
GO
